#include "record_text.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace qiraoid {

DecodedRecord DecodeRecord(std::string_view bytes) {
  // The packed struct is laid out exactly as stored, and this target is little-endian.
  SNMP_QIRAOID_Data_t raw;
  std::memcpy(&raw, bytes.data(), sizeof raw);
  DecodedRecord record;
  record.device_id = raw.data_id;
  std::memcpy(record.values.data(), raw.value, sizeof raw.value);
  record.time = raw.time;
  return record;
}

std::string TimeText(const ttime& time, char separator) {
  char text[32];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u%c%02u:%02u:%02u", unsigned{time.year},
                unsigned{time.month}, unsigned{time.day}, separator, unsigned{time.hour},
                unsigned{time.minute}, unsigned{time.second});
  return text;
}

std::string TimeProblem(const ttime& time) {
  struct Field {
    const char* name;
    unsigned value, low, high;
  };
  const Field fields[] = {{"month", time.month, 1, 12}, {"day", time.day, 1, 31},
                          {"hour", time.hour, 0, 23},   {"minute", time.minute, 0, 59},
                          {"second", time.second, 0, 59}};
  for (const Field& field : fields) {
    if (field.value < field.low || field.value > field.high) {
      return std::string(field.name) + " " + std::to_string(field.value) + " is not in " +
             std::to_string(field.low) + "-" + std::to_string(field.high);
    }
  }
  return "";
}

std::string NumberText(float value) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

}  // namespace qiraoid
