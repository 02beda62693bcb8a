// The sampling thread: its own stack of the size asked for, joined by join() or on destruction,
// std::system_error when it cannot be had; and a device's passes fit in a quarter of the size
// the device gives it, in either request shape, on a clean or a lossy link.
#include <pthread.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <limits>
#include <string>
#include <system_error>
#include <thread>

#include <gtest/gtest.h>

#include "../host/test_device.h"
#include "cabinet_agent.h"
#include "qiraoid_probe.h"
#include "sampling_thread.h"
#include "standin_host.h"
#include "udp_relay.h"

namespace qiraoid {
namespace {

size_t OwnStackBytes() {
  pthread_attr_t attributes;
  if (pthread_getattr_np(pthread_self(), &attributes) != 0) return 0;
  size_t bytes = 0;
  pthread_attr_getstacksize(&attributes, &bytes);
  pthread_attr_destroy(&attributes);
  return bytes;
}

TEST(SamplingThread, RunsTheBodyOnItsOwnThreadWithTheStackAskedFor) {
  for (const size_t asked : {kSamplingStackBytes, 2 * kSamplingStackBytes}) {
    std::thread::id body_thread;
    size_t stack_bytes = 0;
    SamplingThread thread(
        [&] {
          body_thread = std::this_thread::get_id();
          stack_bytes = OwnStackBytes();
        },
        asked);
    thread.join();
    EXPECT_NE(body_thread, std::thread::id());
    EXPECT_NE(body_thread, std::this_thread::get_id());
    // glibc may round up to whole pages and count the guard page in.
    EXPECT_GE(stack_bytes, asked);
    EXPECT_LE(stack_bytes, asked + 64 * 1024);
    thread.join();  // a second join does nothing
  }
}

TEST(SamplingThread, DestructionWaitsForTheBody) {
  std::atomic<bool> finished{false};
  {
    SamplingThread thread(
        [&finished] {
          std::this_thread::sleep_for(std::chrono::milliseconds(50));
          finished = true;
        },
        kSamplingStackBytes);
  }
  EXPECT_TRUE(finished);
}

// More than any address space holds, and less than the smallest stack there is.
TEST(SamplingThread, ThrowsSystemErrorWhenNoThreadCanBeHad) {
  for (const size_t asked : {std::numeric_limits<size_t>::max() & ~size_t{0xFFFF}, size_t{1}}) {
    bool ran = false;
    EXPECT_THROW(SamplingThread([&ran] { ran = true; }, asked), std::system_error) << asked;
    EXPECT_FALSE(ran);
  }
}

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
      device.max_repetitions_ = repetitions;
      device.session_.timeout = 20 * 1000;
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
