// The sampling thread: its own stack of the size asked for, joined by join() or on destruction,
// std::system_error when it cannot be had.
#include <pthread.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <limits>
#include <string>
#include <system_error>
#include <thread>

#include <gtest/gtest.h>

#include "sampling_thread.h"

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

}  // namespace
}  // namespace qiraoid
