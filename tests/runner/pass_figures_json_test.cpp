// The "pass" object of a --json round event as text: every figure in its place, whole numbers as
// they are, fractions with three decimals.
#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "agent_event_line.h"

namespace qiraoid {
namespace {

PassFigures Figures(uint64_t requests, uint64_t retransmissions, uint64_t silences, uint64_t bulk_give_ups,
                    double seconds) {
  PassFigures pass;
  pass.requests = requests;
  pass.retransmissions = retransmissions;
  pass.silences = silences;
  pass.bulk_give_ups = bulk_give_ups;
  pass.seconds = seconds;
  return pass;
}

TEST(PassFiguresJson, KeysInOrderWholeNumbersAndThreeDecimals) {
  const struct {
    PassFigures pass;
    const char* json;
  } cases[] = {
      {PassFigures(), R"({"requests":0,"retransmissions":0,"silences":0,"bulk_give_ups":0,"seconds":0.000})"},
      {Figures(14, 2, 1, 3, 0.1204),
       R"({"requests":14,"retransmissions":2,"silences":1,"bulk_give_ups":3,"seconds":0.120})"},
      {Figures(UINT64_MAX, 0, 0, 0, 3600.0006),
       R"({"requests":18446744073709551615,"retransmissions":0,"silences":0,"bulk_give_ups":0,"seconds":3600.001})"},
  };
  for (const auto& row : cases) EXPECT_EQ(PassFiguresJson(row.pass), row.json);
}

}  // namespace
}  // namespace qiraoid
