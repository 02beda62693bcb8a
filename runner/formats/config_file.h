// Reads a configuration file whole: a regular file of at most kConfigFileLimit bytes. Anything else
// (a directory, a FIFO, a device such as /dev/zero) is refused without reading from it, so a wrong
// path can neither block the runner nor fill its memory.
#pragma once

#include <cstddef>
#include <string>

namespace qiraoid {

constexpr std::size_t kConfigFileLimit = 16 * 1024 * 1024;

// Throws RunnerError naming the file as `kind` and what is wrong with it: "cannot read
// configuration cabinet.json: ...".
std::string ReadConfigFile(const std::string& path, const std::string& kind = "configuration");

}  // namespace qiraoid
