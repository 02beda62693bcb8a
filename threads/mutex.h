// Mutex, MutexLock and CondVar: std::mutex and std::condition_variable as clang's thread-safety
// analysis sees them (thread_annotations.h), so that what a lock guards is checked where it is used.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <utility>

#include "thread_annotations.h"

namespace qiraoid {

class CAPABILITY("mutex") Mutex {
 public:
  Mutex() = default;
  Mutex(const Mutex&) = delete;
  Mutex& operator=(const Mutex&) = delete;

  void Lock() ACQUIRE() { mutex_.lock(); }
  void Unlock() RELEASE() { mutex_.unlock(); }

 private:
  friend class CondVar;
  std::mutex mutex_;
};

// Holds a Mutex from its construction to its destruction, or to Unlock when that comes first.
class SCOPED_CAPABILITY MutexLock {
 public:
  explicit MutexLock(Mutex* mutex) ACQUIRE(mutex) : mutex_(mutex) { mutex_->Lock(); }
  ~MutexLock() RELEASE() {
    if (held_) mutex_->Unlock();
  }
  MutexLock(const MutexLock&) = delete;
  MutexLock& operator=(const MutexLock&) = delete;

  void Unlock() RELEASE() {
    held_ = false;
    mutex_->Unlock();
  }

 private:
  Mutex* const mutex_;
  bool held_ = true;
};

// A condition variable whose waits name the Mutex they hold, as std::condition_variable's name
// their lock: the mutex is let go while waiting and held again when the wait returns.
class CondVar {
 public:
  void Wait(Mutex& mutex) REQUIRES(mutex) {
    std::unique_lock<std::mutex> lock(mutex.mutex_, std::adopt_lock);
    changed_.wait(lock);
    lock.release();
  }
  template <typename Clock, typename Duration>
  void WaitUntil(Mutex& mutex, const std::chrono::time_point<Clock, Duration>& deadline) REQUIRES(mutex) {
    std::unique_lock<std::mutex> lock(mutex.mutex_, std::adopt_lock);
    changed_.wait_until(lock, deadline);
    lock.release();
  }
  // Waits until `done` or for `pause`; what `done` says at the end.
  template <typename Rep, typename Period, typename Predicate>
  bool WaitFor(Mutex& mutex, const std::chrono::duration<Rep, Period>& pause, Predicate done) REQUIRES(mutex) {
    std::unique_lock<std::mutex> lock(mutex.mutex_, std::adopt_lock);
    const bool result = changed_.wait_for(lock, pause, std::move(done));
    lock.release();
    return result;
  }
  void NotifyAll() { changed_.notify_all(); }

 private:
  std::condition_variable changed_;
};

}  // namespace qiraoid
