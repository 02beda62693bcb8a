// The agent's health lines: one when it starts failing, one per change of cause, one on recovery
// with how long it failed.
#include <chrono>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "agent_health.h"

namespace qiraoid {
namespace {

using std::chrono::seconds;

TEST(AgentHealth, SaysOncePerChangeAndOnRecovery) {
  AgentHealth health;
  health.Name("device 12 agent udp:127.0.0.1:161");
  const AgentHealth::Clock::time_point start;
  EXPECT_EQ(health.Answering(start), std::nullopt) << "answering all along";
  EXPECT_EQ(health.Failing("no answer", start), "device 12 agent udp:127.0.0.1:161: failing: no answer");
  EXPECT_EQ(health.Failing("no answer", start + seconds(10)), std::nullopt);
  EXPECT_EQ(health.Failing("error status 5", start + seconds(20)),
            "device 12 agent udp:127.0.0.1:161: failing: error status 5");
  EXPECT_EQ(health.Answering(start + seconds(95)),
            "device 12 agent udp:127.0.0.1:161: answering again after failing for 1 min 35 s");
  EXPECT_EQ(health.Answering(start + seconds(100)), std::nullopt);
  EXPECT_EQ(health.Failing("no answer", start + seconds(200)),
            "device 12 agent udp:127.0.0.1:161: failing: no answer") << "a new failure is news again";
}

TEST(AgentHealth, HowLongUsesTheTwoLargestUnits) {
  const struct {
    long seconds;
    const char* said;
  } rows[] = {{0, "0 s"}, {59, "59 s"}, {60, "1 min 0 s"}, {3599, "59 min 59 s"}, {3600, "1 h 0 min"},
              {90061, "25 h 1 min"}};
  for (const auto& row : rows) EXPECT_EQ(HowLong(seconds(row.seconds)), row.said) << row.seconds;
}

}  // namespace
}  // namespace qiraoid
