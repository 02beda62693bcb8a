#include "scratch_dir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

ScratchDir::ScratchDir() {
  const char* dir = std::getenv("TMPDIR");
  std::string path = std::string(dir != nullptr ? dir : "/tmp") + "/runner-test-XXXXXX";
  if (::mkdtemp(path.data()) == nullptr) throw std::runtime_error("cannot create " + path);
  path_ = path;
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string ScratchDir::Write(const std::string& name, const std::string& text) const {
  const std::string path = path_ + "/" + name;
  std::ofstream(path, std::ios::binary) << text;
  return path;
}
