// Decodes a stored device record (id, 1397 values, 7-byte time; little-endian) and writes its
// parts as text.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "snmp_qiraoid_data.h"

namespace qiraoid {

struct DecodedRecord {
  uint32_t device_id = 0;
  std::array<float, kQiraoidColumns> values{};  // values[k-1] is column k
  ttime time{};
};

constexpr std::size_t kRecordBytes = sizeof(SNMP_QIRAOID_Data_t);
constexpr std::size_t kRecordTimeOffset = offsetof(SNMP_QIRAOID_Data_t, time);

// The bytes must be one whole record (kRecordBytes long).
DecodedRecord DecodeRecord(std::string_view bytes);

// "2026-12-10T04:05:06" with separator 'T'; fields are printed as stored, even when not a date.
std::string TimeText(const ttime& time, char separator);

// What keeps a time stamp from being a date and a time of day ("month 13 is not in 1-12"), or ""
// when nothing does. A round's record always carries its local time.
std::string TimeProblem(const ttime& time);

// The shortest text that reads back as the same float ("220.5", "0", "1e+20"); "nan", "inf".
std::string NumberText(float value);

}  // namespace qiraoid
