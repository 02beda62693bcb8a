// Reads a history file of fixed-size records, oldest first. Only whole records are read; bytes
// after the last whole one (a torn tail) are counted so the caller can report them.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>

namespace qiraoid {

class HistoryFile {
 public:
  // Throws RunnerError when the file cannot be opened.
  HistoryFile(std::string path, std::size_t record_bytes);

  bool Next(std::string& record);  // false after the last whole record
  uint64_t record_count() const { return record_count_; }
  uint64_t torn_bytes() const { return torn_bytes_; }
  const std::string& path() const { return path_; }
  // "FILE: N bytes after record R are not a whole record; ignored", for a file with a torn tail.
  std::string TornTailMessage() const;

 private:
  std::string path_;
  std::size_t record_bytes_;
  std::ifstream stream_;
  uint64_t record_count_ = 0;
  uint64_t torn_bytes_ = 0;
  uint64_t read_ = 0;
};

}  // namespace qiraoid
