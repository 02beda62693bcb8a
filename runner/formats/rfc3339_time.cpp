#include "rfc3339_time.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "mutex.h"
#include "record_text.h"

namespace qiraoid {

namespace {

// "Z" for UTC, which RFC 3339 allows and tools that know no other offset (jq 1.6) read.
std::string Offset(long seconds_east) {
  if (seconds_east == 0) return "Z";
  const char sign = seconds_east < 0 ? '-' : '+';
  const long minutes = std::labs(seconds_east) / 60;
  char text[8];
  std::snprintf(text, sizeof text, "%c%02ld:%02ld", sign, minutes / 60 % 100, minutes % 60);
  return text;
}

// mktime sets the C library's zone state again on every call, which the devices' threads would do
// at once when their rounds end together; one lock of ours keeps those calls apart.
std::time_t MakeTime(std::tm* local) {
  static Mutex zone_state;
  MutexLock guard(&zone_state);
  return std::mktime(local);
}

// The offset local time has at that local date and time (as mktime reads it, daylight saving
// found by the zone's rules); UTC's for a time the zone cannot place.
long OffsetAt(const ttime& time) {
  std::tm local{};
  local.tm_year = time.year - 1900;
  local.tm_mon = time.month - 1;
  local.tm_mday = time.day;
  local.tm_hour = time.hour;
  local.tm_min = time.minute;
  local.tm_sec = time.second;
  local.tm_isdst = -1;
  const std::time_t moment = MakeTime(&local);
  std::tm again{};
  if (moment == static_cast<std::time_t>(-1) || localtime_r(&moment, &again) == nullptr) return 0;
  return again.tm_gmtoff;
}

}  // namespace

std::string Rfc3339(const ttime& time) { return TimeText(time, 'T') + Offset(OffsetAt(time)); }

std::string Rfc3339(std::chrono::system_clock::time_point moment) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(moment);
  std::tm local{};
  localtime_r(&seconds, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
  return text + Offset(local.tm_gmtoff);
}

}  // namespace qiraoid
