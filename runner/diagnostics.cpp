#include "diagnostics.h"

#include <unistd.h>

namespace qiraoid {

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
