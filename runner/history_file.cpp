#include "history_file.h"

#include <cerrno>
#include <cstring>

#include <sys/stat.h>

#include "runner_error.h"

namespace qiraoid {

HistoryFile::HistoryFile(std::string path, std::size_t record_bytes)
    : path_(std::move(path)), record_bytes_(record_bytes) {
  struct stat status {};
  if (::stat(path_.c_str(), &status) != 0) {
    throw RunnerError("cannot read history file " + path_ + ": " + std::strerror(errno));
  }
  if (!S_ISREG(status.st_mode)) throw RunnerError("history file " + path_ + " is not a file");
  stream_.open(path_, std::ios::binary);
  if (!stream_) throw RunnerError("cannot open history file " + path_);
  const auto size = static_cast<uint64_t>(status.st_size);
  record_count_ = size / record_bytes_;
  torn_bytes_ = size % record_bytes_;
}

bool HistoryFile::Next(std::string& record) {
  if (read_ >= record_count_) return false;
  record.resize(record_bytes_);
  if (!stream_.read(record.data(), static_cast<std::streamsize>(record_bytes_))) {
    throw RunnerError("history file " + path_ + " could not be read past record " +
                      std::to_string(read_));
  }
  ++read_;
  return true;
}

std::string HistoryFile::TornTailMessage() const {
  return path_ + ": " + std::to_string(torn_bytes_) + " bytes after record " +
         std::to_string(record_count_) + " are not a whole record (records are " +
         std::to_string(record_bytes_) + " bytes); ignored";
}

}  // namespace qiraoid
