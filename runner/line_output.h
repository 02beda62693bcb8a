// Writes whole lines to one file descriptor: lines written from different threads never
// interleave, and each is on its way before Write returns.
#pragma once

#include <mutex>
#include <string>

namespace qiraoid {

class LineOutput {
 public:
  explicit LineOutput(int fd) : fd_(fd) {}
  LineOutput(const LineOutput&) = delete;
  LineOutput& operator=(const LineOutput&) = delete;

  void Write(std::string line);  // adds the newline

 private:
  int fd_;
  std::mutex mutex_;
};

}  // namespace qiraoid
