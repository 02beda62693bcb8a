#include "config_file.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "runner_error.h"

namespace qiraoid {

namespace {

const char* KindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "a directory";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISCHR(mode)) return "a character device";
  if (S_ISBLK(mode)) return "a block device";
  if (S_ISSOCK(mode)) return "a socket";
  return "not a regular file";
}

// The file being read, as its messages name it.
struct FileName {
  const std::string& path;
  const std::string& kind;
};

[[noreturn]] void Refuse(const FileName& file, const std::string& why) {
  throw RunnerError("cannot read " + file.kind + " " + file.path + ": " + why);
}

void RequireRegular(const FileName& path, const struct stat& status) {
  if (!S_ISREG(status.st_mode)) Refuse(path, std::string("it is ") + KindOf(status.st_mode));
  if (static_cast<unsigned long long>(status.st_size) > kConfigFileLimit) {
    Refuse(path, "it is " + std::to_string(status.st_size) + " bytes, above the 16 MB limit (" +
                     std::to_string(kConfigFileLimit) + " bytes)");
  }
}

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() { if (fd_ >= 0) ::close(fd_); }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// Reads to the end, one byte past the limit at most: a file that grew after fstat is still caught.
std::string ReadAll(const FileName& path, int fd) {
  std::string text;
  char buffer[65536];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) Refuse(path, std::strerror(errno));
    if (got == 0) return text;
    text.append(buffer, static_cast<std::size_t>(got));
    if (text.size() > kConfigFileLimit) Refuse(path, "it grew above the 16 MB limit while read");
  }
}

}  // namespace

std::string ReadConfigFile(const std::string& name, const std::string& kind) {
  const FileName path{name, kind};
  struct stat status {};
  if (::stat(name.c_str(), &status) != 0) Refuse(path, std::strerror(errno));
  RequireRegular(path, status);
  // O_NONBLOCK: should the path become a FIFO after stat, opening it still does not wait.
  const Descriptor file(::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (file.get() < 0) Refuse(path, std::strerror(errno));
  if (::fstat(file.get(), &status) != 0) Refuse(path, std::strerror(errno));
  RequireRegular(path, status);
  return ReadAll(path, file.get());
}

}  // namespace qiraoid
