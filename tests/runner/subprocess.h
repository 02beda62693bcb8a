// Runs a program for a test, its standard output and error captured in files, and waits for it
// within a limit (a program still running then is killed and the test fails).
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include <sys/types.h>

struct ProcessResult {
  int exit_code = -1;   // -1 when it ended by a signal
  int term_signal = 0;  // the signal that ended it, if any
  std::string out;
  std::string err;
};

class Subprocess {
 public:
  explicit Subprocess(const std::vector<std::string>& argv);  // starts it
  ~Subprocess();  // kills it if still running
  Subprocess(const Subprocess&) = delete;
  Subprocess& operator=(const Subprocess&) = delete;

  void Signal(int signal) const;
  std::string OutputSoFar() const;
  std::string ErrorSoFar() const;
  ProcessResult Wait(std::chrono::seconds limit = std::chrono::seconds(30));

 private:
  pid_t pid_ = -1;
  std::string out_path_;
  std::string err_path_;
};

ProcessResult RunProcess(const std::vector<std::string>& argv);

// Splits text into its lines, without the newlines.
std::vector<std::string> Lines(const std::string& text);
