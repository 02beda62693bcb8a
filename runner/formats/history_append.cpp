#include "history_append.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "history_file.h"
#include "record_text.h"
#include "runner_error.h"

namespace qiraoid {

namespace {

std::string Cause(int error) { return std::strerror(error); }

// Writes what it can; gives the bytes written and leaves errno set when it stopped short.
std::size_t WriteSome(int fd, const char* data, std::size_t size) {
  ssize_t written;
  do {
    written = ::write(fd, data, size);
  } while (written < 0 && errno == EINTR);
  return written < 0 ? 0 : static_cast<std::size_t>(written);
}

// A write cut short (a full disk, the file size limit) is tried once more for the rest, which
// either completes the record or fails with the cause.
std::optional<std::string> WriteWhole(int fd, const std::string& record) {
  const std::size_t first = WriteSome(fd, record.data(), record.size());
  if (first == record.size()) return std::nullopt;
  errno = 0;
  const std::size_t rest = WriteSome(fd, record.data() + first, record.size() - first);
  if (first + rest == record.size()) return std::nullopt;
  return errno != 0 ? Cause(errno)
                    : "only " + std::to_string(first + rest) + " of its " +
                          std::to_string(record.size()) + " bytes were written";
}

std::optional<std::string> CutToWholeRecords(int fd) {
  struct stat status {};
  if (::fstat(fd, &status) != 0) return Cause(errno);
  const off_t whole = status.st_size - status.st_size % static_cast<off_t>(kRecordBytes);
  if (whole != status.st_size && ::ftruncate(fd, whole) != 0) return Cause(errno);
  return std::nullopt;
}

}  // namespace

std::optional<std::string> CutTornTail(const std::string& path) {
  if (::access(path.c_str(), F_OK) != 0 && errno == ENOENT) return std::nullopt;
  const HistoryFile file = HistoryFile::Open(path);
  if (file.torn_bytes() == 0) return std::nullopt;
  if (::truncate(path.c_str(), static_cast<off_t>(file.whole_bytes())) != 0) {
    throw RunnerError("cannot cut the torn tail of history file " + path + ": " + Cause(errno));
  }
  return path + ": " + file.TornTail() + "; cut before storing more";
}

std::optional<std::string> AppendRecord(const std::string& path, const std::string& record) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return Cause(errno);
  std::optional<std::string> cause = WriteWhole(fd, record);
  if (cause) {
    if (const std::optional<std::string> cut = CutToWholeRecords(fd)) {
      *cause += "; its partial record could not be cut: " + *cut;
    }
  }
  ::close(fd);
  return cause;
}

}  // namespace qiraoid
