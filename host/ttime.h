// The host's 7-byte time stamp, as stored at the end of every device record.
#pragma once

#include <cstdint>

#include <boost/date_time/posix_time/posix_time_types.hpp>

#pragma pack(push, 1)
struct ttime {
  uint16_t year;  // little-endian on the controller
  uint8_t month;
  uint8_t day;
  uint8_t hour;
  uint8_t minute;
  uint8_t second;
};
#pragma pack(pop)
static_assert(sizeof(ttime) == 7, "ttime is 7 bytes on the wire");

// Converts a time to the host's 7-byte form; a time that is not a date gives 7 zero bytes.
ttime get_ttime(boost::posix_time::ptime t);
