#include "history_file.h"

#include <cerrno>
#include <cstring>
#include <fstream>

#include <sys/stat.h>

#include "record_text.h"
#include "runner_error.h"

namespace qiraoid {

std::string HistoryFileName(uint32_t device_id) {
  return "device-" + std::to_string(device_id) + ".history";
}

HistoryFile HistoryFile::Open(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) {
    throw RunnerError("cannot read history file " + path + ": " + std::strerror(errno));
  }
  if (!S_ISREG(status.st_mode)) throw RunnerError("history file " + path + " is not a file");
  auto stream = std::make_unique<std::ifstream>(path, std::ios::binary);
  if (!*stream) throw RunnerError("cannot open history file " + path);
  return HistoryFile(std::move(stream), static_cast<uint64_t>(status.st_size), path);
}

HistoryFile::HistoryFile(std::unique_ptr<std::istream> stream, uint64_t size, std::string name)
    : stream_(std::move(stream)),
      name_(std::move(name)),
      record_count_(size / kRecordBytes),
      torn_bytes_(size % kRecordBytes) {
  CheckTimes();
  Seek(0);
}

bool HistoryFile::Next(std::string& record) {
  if (read_ >= record_count_) return false;
  record.resize(kRecordBytes);
  if (!stream_->read(record.data(), static_cast<std::streamsize>(kRecordBytes))) {
    throw RunnerError("history file " + name_ + " could not be read past record " +
                      std::to_string(read_));
  }
  ++read_;
  return true;
}

std::string HistoryFile::TornTail() const {
  return std::to_string(torn_bytes_) + " bytes after record " + std::to_string(record_count_) +
         " are not a whole record (records are " + std::to_string(kRecordBytes) + " bytes)";
}

std::string HistoryFile::TornTailMessage() const { return name_ + ": " + TornTail() + "; ignored"; }

// Reads only the 7 time bytes of each record: a day of rounds is a hundred megabytes.
void HistoryFile::CheckTimes() {
  for (uint64_t index = 0; index < record_count_; ++index) {
    const uint64_t offset = index * kRecordBytes;
    Seek(offset + kRecordTimeOffset);
    ttime time{};
    if (!stream_->read(reinterpret_cast<char*>(&time), sizeof time)) {
      throw RunnerError("history file " + name_ + " could not be read at byte " +
                        std::to_string(offset + kRecordTimeOffset));
    }
    const std::string problem = TimeProblem(time);
    if (problem.empty()) continue;
    throw RunnerError(name_ + " is not a history file: record " + std::to_string(index + 1) +
                      " (at byte " + std::to_string(offset) + ") has a time stamp that is not a " +
                      "date and time: " + problem);
  }
}

void HistoryFile::Seek(uint64_t offset) {
  stream_->clear();
  stream_->seekg(static_cast<std::streamoff>(offset));
}

}  // namespace qiraoid
