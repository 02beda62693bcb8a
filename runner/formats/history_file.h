// Reads a history file of device records (record_text.h), oldest first. Every whole record must
// carry a time stamp that is a date and a time of day, or the file is refused as not a history
// file. Bytes after the last whole record (a torn tail) are counted so the caller can report them.
#pragma once

#include <cstdint>
#include <istream>
#include <memory>
#include <string>

#include "record_text.h"

namespace qiraoid {

// "device-<id>.history": where a run stores a device's records in its history directory.
std::string HistoryFileName(uint32_t device_id);

class HistoryFile {
 public:
  // Throws RunnerError when the path is not a readable regular file, or for a record whose time
  // stamp is not a date and time (naming the first such record, its number and its offset).
  static HistoryFile Open(const std::string& path);
  // The same for bytes already at hand; name stands for the file in messages.
  HistoryFile(std::unique_ptr<std::istream> stream, uint64_t size, std::string name);

  bool Next(std::string& record);  // false after the last whole record
  uint64_t whole_bytes() const { return record_count_ * kRecordBytes; }
  uint64_t torn_bytes() const { return torn_bytes_; }
  const std::string& path() const { return name_; }
  // "N bytes after record R are not a whole record (records are 5599 bytes)", for a torn tail.
  std::string TornTail() const;
  // "FILE: <torn tail>; ignored".
  std::string TornTailMessage() const;

 private:
  void CheckTimes();
  void Seek(uint64_t offset);

  std::unique_ptr<std::istream> stream_;
  std::string name_;
  uint64_t record_count_ = 0;
  uint64_t torn_bytes_ = 0;
  uint64_t read_ = 0;
};

}  // namespace qiraoid
