// SamplingThread: runs one callable on a thread of its own whose stack is of a given size (a
// std::thread takes the process's default, 8 MiB on Linux, and a 32-bit host runs out of address
// space after a few hundred devices). Joined by join() or by the destructor; one owner thread.
#pragma once

#include <pthread.h>

#include <cstddef>
#include <functional>
#include <memory>

namespace qiraoid {

// A pass and its round, in either request shape and any mode, on a clean or a lossy link, touch
// about 11 KiB of stack, the thread's TLS included (bench/stack_depth): Net-SNMP mallocs its
// receive buffer and encodes requests in the heap. 256 KiB leaves room for the real host's
// callbacks, which run on this thread too; tests check that a pass fits in a quarter of it.
// Sanitized builds get more: AddressSanitizer's frames are larger (17 KiB a pass), and under
// ThreadSanitizer a thread's stack block holds its large per-thread state too (780 KiB in all).
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define QIRAOID_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define QIRAOID_SANITIZED 1
#endif
#endif
#ifdef QIRAOID_SANITIZED
inline constexpr std::size_t kSamplingStackBytes = 2 * 1024 * 1024;
#else
inline constexpr std::size_t kSamplingStackBytes = 256 * 1024;
#endif

class SamplingThread {
 public:
  // Starts body on a new thread with stack_bytes of stack (at least PTHREAD_STACK_MIN). Throws
  // std::system_error, as std::thread does, when the thread cannot be created.
  SamplingThread(std::function<void()> body, std::size_t stack_bytes);
  ~SamplingThread();  // joins, if not joined yet
  SamplingThread(const SamplingThread&) = delete;
  SamplingThread& operator=(const SamplingThread&) = delete;

  void join();  // waits for body to return; once

 private:
  static void* Run(void* body) noexcept;  // an escaping exception ends the process, as with std::thread

  std::unique_ptr<std::function<void()>> body_;  // outlives the thread: freed after the join
  pthread_t thread_{};
  bool joinable_ = false;
};

}  // namespace qiraoid
