// A fresh temporary directory for one test, removed with everything in it afterwards.
#pragma once

#include <string>

class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::string& path() const { return path_; }
  // Writes the file (name relative to the directory) and gives its full path.
  std::string Write(const std::string& name, const std::string& text) const;

 private:
  std::string path_;
};
