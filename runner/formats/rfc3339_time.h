// Times as RFC 3339 text with the local offset ("2026-12-10T16:45:33+01:00"; "Z" for UTC, which
// jq 1.6's fromdateiso8601 reads). Safe from any thread.
#pragma once

#include <chrono>
#include <string>

#include "ttime.h"

namespace qiraoid {

// A record's local time with the offset local time had then; fields are printed as stored.
std::string Rfc3339(const ttime& time);
// A moment, to the second, in local time with its offset.
std::string Rfc3339(std::chrono::system_clock::time_point moment);

}  // namespace qiraoid
