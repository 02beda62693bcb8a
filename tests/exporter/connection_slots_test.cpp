// The metrics server's connection slots without a socket: which connection is closed to make room
// for a new one at the cap, and when a new one is refused.
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "connection_slots.h"

namespace qiraoid {
namespace {

struct Case {
  const char* what;
  std::size_t most;
  // "o" opens a connection (named 1, 2, ... in the order they get a slot), "wN" tells that N
  // waits for a request, "aN" that N answers, "gN" that N is gone.
  const char* steps;
  const char* closed;  // the connections closed to make room, in order
  int refused;         // opens that found no room
};

const Case kCases[] = {
    {"under the cap nothing is closed", 3, "o o o", "", 0},
    {"at the cap the longest waiting makes room, then the next", 2, "o o o o", "1 2", 0},
    {"a connection answering is passed over", 2, "o o a1 o", "2", 0},
    {"a connection waiting for its next request waits anew", 2, "o o a1 w1 o", "2", 0},
    {"every connection answering: the new one is refused", 2, "o o a1 a2 o", "", 1},
    {"a connection gone frees its slot", 2, "o o g1 o", "", 0},
    {"a connection closed to make room is gone already", 1, "o o g1 o", "1 2", 0},
};

TEST(ConnectionSlots, CloseTheLongestWaitingToMakeRoom) {
  for (const Case& test : kCases) {
    ConnectionSlots slots(test.most);
    std::string closed;
    int refused = 0;
    std::vector<ConnectionSlots::Id> ids;  // by the order they were opened in
    std::istringstream steps(test.steps);
    for (std::string step; steps >> step;) {
      if (step == "o") {
        const std::string name = std::to_string(ids.size() + 1);
        const auto id = slots.Open([&closed, name] { closed += (closed.empty() ? "" : " ") + name; });
        if (id) {
          ids.push_back(*id);
        } else {
          ++refused;
        }
        continue;
      }
      const ConnectionSlots::Id id = ids.at(std::stoul(step.substr(1)) - 1);
      if (step[0] == 'w') slots.Waiting(id);
      if (step[0] == 'a') slots.Answering(id);
      if (step[0] == 'g') slots.Gone(id);
    }
    EXPECT_EQ(closed, test.closed) << test.what;
    EXPECT_EQ(refused, test.refused) << test.what;
    EXPECT_LE(slots.TEST_open(), test.most) << test.what;
  }
}

}  // namespace
}  // namespace qiraoid
