#include "line_output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

#include "runner_error.h"

namespace qiraoid {

void LineOutput::Write(std::string line) {
  line.push_back('\n');
  MutexLock guard(&mutex_);
  const char* next = line.data();
  std::size_t left = line.size();
  while (left > 0) {
    const ssize_t written = ::write(fd_, next, left);
    if (written < 0) {
      if (errno == EINTR) continue;
      return;  // a closed reader loses the line; the run itself goes on
    }
    next += written;
    left -= static_cast<std::size_t>(written);
  }
}

int DivertStdoutToStderr() {
  std::fflush(stdout);
  const int kept = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
  if (kept < 0) throw RunnerError(std::string("cannot keep standard output: ") + std::strerror(errno));
  if (::dup2(STDERR_FILENO, STDOUT_FILENO) < 0) {
    throw RunnerError(std::string("cannot divert standard output: ") + std::strerror(errno));
  }
  return kept;
}

void Diagnose(const std::string& message) {
  const std::string line = "zrmhost: " + message + "\n";
  const char* next = line.data();
  std::size_t left = line.size();
  while (left > 0) {
    const ssize_t written = ::write(STDERR_FILENO, next, left);
    if (written <= 0) return;  // nowhere left to complain to
    next += written;
    left -= static_cast<std::size_t>(written);
  }
}

}  // namespace qiraoid
