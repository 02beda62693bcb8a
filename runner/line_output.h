// Where the runner's lines go. The plug-in writes its log lines to fd 1 and the runner's own
// output must stay clean, so a command that loads the plug-in writes its lines to a private copy
// of the real standard output and points fd 1 at standard error. The runner's messages to the
// user go to standard error.
#pragma once

#include <string>

#include "mutex.h"

namespace qiraoid {

// Writes whole lines to one file descriptor: lines written from different threads never
// interleave, and each is on its way before Write returns.
class LineOutput {
 public:
  explicit LineOutput(int fd) : fd_(fd) {}
  LineOutput(const LineOutput&) = delete;
  LineOutput& operator=(const LineOutput&) = delete;

  void Write(std::string line) EXCLUDES(mutex_);  // adds the newline

 private:
  int fd_;
  Mutex mutex_;  // one line's writes at a time
};

// Returns the private descriptor (close-on-exec) of the real standard output.
int DivertStdoutToStderr();

// The runner's own messages to the user: "zrmhost: <message>" on standard error, in one write so
// they never interleave with the devices' log lines.
void Diagnose(const std::string& message);

}  // namespace qiraoid
