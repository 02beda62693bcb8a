#include "ttime.h"

#include <boost/date_time/posix_time/posix_time.hpp>

#include "journal.h"

ttime get_ttime(boost::posix_time::ptime t) {
  standin::Journal(nullptr, "get_ttime", {boost::posix_time::to_iso_extended_string(t)});
  ttime result{};
  if (t.is_special()) return result;
  const auto date = t.date();
  const auto time = t.time_of_day();
  result.year = static_cast<uint16_t>(date.year());
  result.month = static_cast<uint8_t>(date.month());
  result.day = static_cast<uint8_t>(date.day());
  result.hour = static_cast<uint8_t>(time.hours());
  result.minute = static_cast<uint8_t>(time.minutes());
  result.second = static_cast<uint8_t>(time.seconds());
  return result;
}
