#include "private_stdout.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <unistd.h>

#include "runner_error.h"

namespace qiraoid {

int DivertStdoutToStderr() {
  std::fflush(stdout);
  const int kept = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
  if (kept < 0) throw RunnerError(std::string("cannot keep standard output: ") + std::strerror(errno));
  if (::dup2(STDERR_FILENO, STDOUT_FILENO) < 0) {
    throw RunnerError(std::string("cannot divert standard output: ") + std::strerror(errno));
  }
  return kept;
}

}  // namespace qiraoid
