// Errors the runner reports to the user in one line and ends with a non-zero exit.
#pragma once

#include <stdexcept>

namespace qiraoid {

// Bad input or a failed run: exit status 1.
class RunnerError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A command line the runner does not understand: exit status 2.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace qiraoid
