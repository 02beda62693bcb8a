// A device's passes fit in a quarter of the stack it gives its sampling thread, in either request
// shape, on a clean or a lossy link.
#include <cstddef>
#include <string>

#include <gtest/gtest.h>

#include "cabinet_agent.h"
#include "qiraoid_probe.h"
#include "sampling_thread.h"
#include "standin_host.h"
#include "test_device.h"
#include "udp_relay.h"

namespace qiraoid {
namespace {

// The sampling stack leaves room for the host's callbacks, which run on it too: a pass and its
// round in alarm mode, with the retransmissions of a lossy link, fit in a quarter of it.
TEST(SamplingStack, PassesFitInAQuarterOfIt) {
  CabinetAgent agent;
  agent.SetColumns(4, {{324, "1"}});
  for (const double loss : {0.0, 0.1}) {
    UdpRelay link(agent.port(), {loss, loss, {}, 7});
    for (const long repetitions : {0L, 100L}) {
      QiraoidProbe device;
      InitHostSide(device, 12, R"({"agent":")" + link.address() + R"(","address":4})");
      device.b_mode_ = 2;
      device.AskForRepetitions(repetitions);
      device.ReadAccess(ParseJson(R"({"timeout_seconds":"0.02"})"));
      const size_t before = standin::PublishedOf(device).size();
      testing::internal::CaptureStdout();
      SamplingThread([&device] { device.do_sample(); }, kSamplingStackBytes / 4).join();
      testing::internal::GetCapturedStdout();
      EXPECT_EQ(standin::PublishedOf(device).size() - before, 1u)
          << "loss " << loss << ", max_repetitions " << repetitions;
    }
  }
}

}  // namespace
}  // namespace qiraoid
