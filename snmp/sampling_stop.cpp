#include "sampling_stop.h"

#include <fcntl.h>
#include <sys/eventfd.h>
#include <sys/select.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <system_error>

namespace qiraoid {

namespace {

// Net-SNMP's armhf build aborts the process for a descriptor of FD_SETSIZE or more in its
// descriptor sets, which hold the sessions' sockets. Stop descriptors never enter them, so they
// move above that line where the limit allows, leaving the low numbers to the sockets.
int AboveTheSelectLimit(int fd) {
  const int high = fcntl(fd, F_DUPFD_CLOEXEC, FD_SETSIZE);
  if (high < 0) return fd;
  close(fd);
  return high;
}

}  // namespace

SamplingStop::SamplingStop() : fd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
  if (fd_ < 0) throw std::system_error(errno, std::generic_category(), "eventfd");
  fd_ = AboveTheSelectLimit(fd_);
}

SamplingStop::~SamplingStop() { close(fd_); }

void SamplingStop::Raise() {
  {
    MutexLock guard(&mutex_);
    raised_.store(true);
  }
  wake_.NotifyAll();
  const uint64_t one = 1;
  // The counter only grows; a full counter is readable already, so a failed write loses nothing.
  [[maybe_unused]] const ssize_t written = write(fd_, &one, sizeof one);
}

bool SamplingStop::WaitFor(std::chrono::milliseconds pause) {
  MutexLock guard(&mutex_);
  return wake_.WaitFor(mutex_, pause, [this] { return raised_.load(); });
}

}  // namespace qiraoid
