// Runs a program for a test, its standard output and error captured in files, and waits for it
// within a limit (a program still running then is killed and the test fails).
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
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
  // Starts it. With a file size limit (RLIMIT_FSIZE) it also ignores SIGXFSZ, so that a write past
  // the limit fails (EFBIG) instead of killing it.
  explicit Subprocess(const std::vector<std::string>& argv,
                      std::optional<std::uint64_t> file_size_limit = std::nullopt);
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
