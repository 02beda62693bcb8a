// The runner's own messages to the user: "zrmhost: <message>" on standard error, in one write so
// they never interleave with the devices' log lines.
#pragma once

#include <string>

namespace qiraoid {

void Diagnose(const std::string& message);

}  // namespace qiraoid
