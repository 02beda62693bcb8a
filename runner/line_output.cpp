#include "line_output.h"

#include <cerrno>

#include <unistd.h>

namespace qiraoid {

void LineOutput::Write(std::string line) {
  line.push_back('\n');
  std::lock_guard<std::mutex> guard(mutex_);
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

}  // namespace qiraoid
