#include "event_lines.h"

#include <algorithm>
#include <cmath>

#include "agent_event_line.h"
#include "json_text.h"
#include "rfc3339_time.h"

namespace qiraoid {

namespace {

constexpr int kColumnsInTextRound = 8;

// dump --csv's headings of its own: device, time and, for a column without a heading given, cK.
constexpr const char* kCsvFirstHeadings[] = {"device", "time"};
constexpr char kCsvColumnLetter = 'c';

// JSON has no NaN or infinity: those become null.
std::string JsonNumber(float value) {
  return std::isfinite(value) ? NumberText(value) : "null";
}

std::string TextRoundLine(uint32_t device, int round, const DecodedRecord& record) {
  std::string line = "device " + std::to_string(device) + " round " + std::to_string(round) +
                     " at " + TimeText(record.time, ' ') + ":";
  int non_zero = 0;
  for (std::size_t k = 0; k < record.values.size(); ++k) {
    if (record.values[k] != 0.0f) ++non_zero;
    if (k < kColumnsInTextRound) line += " c" + std::to_string(k + 1) + "=" + NumberText(record.values[k]);
  }
  return line + " ... (" + std::to_string(record.values.size()) + " values, " +
         std::to_string(non_zero) + " non-zero)";
}

std::string JsonRoundLine(uint32_t device, int round, const DecodedRecord& record, const PassFigures* pass) {
  std::string line = "{\"event\":\"round\",\"device\":" + std::to_string(device) +
                     ",\"round\":" + std::to_string(round) + ",\"time\":" + JsonQuoted(Rfc3339(record.time));
  if (pass != nullptr) line += ",\"pass\":" + PassFiguresJson(*pass);
  line += ",\"values\":[";
  for (std::size_t k = 0; k < record.values.size(); ++k) {
    if (k > 0) line += ',';
    line += JsonNumber(record.values[k]);
  }
  return line + "]}";
}

// A cell as RFC 4180 has it: quoted, its quotes doubled, when it holds a comma, a quote or a line break.
std::string CsvCell(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string cell = "\"";
  for (const char c : text) cell += c == '"' ? std::string("\"\"") : std::string(1, c);
  return cell + '"';
}

}  // namespace

std::string RoundLine(LineFormat format, uint32_t device, int round, const DecodedRecord& record,
                      const PassFigures* pass) {
  return format == LineFormat::kJson ? JsonRoundLine(device, round, record, pass)
                                     : TextRoundLine(device, round, record);
}

std::string AlarmLine(LineFormat format, uint32_t device, const standin::AlarmTransition& alarm,
                      const ttime& round_time) {
  if (format == LineFormat::kJson) {
    return "{\"event\":\"alarm\",\"device\":" + std::to_string(device) +
           ",\"signal\":" + std::to_string(alarm.signal_no) + ",\"id\":" +
           JsonQuoted(alarm.signal_id) + ",\"name\":" + JsonQuoted(alarm.signal_name) +
           ",\"active\":" + (alarm.active ? "true" : "false") +
           ",\"time\":" + JsonQuoted(Rfc3339(round_time)) + "}";
  }
  return "device " + std::to_string(device) + " signal " + std::to_string(alarm.signal_no) +
         (alarm.active ? " raised: " : " cleared: ") + alarm.signal_id + " " + alarm.signal_name;
}

std::string DumpLine(int index, const DecodedRecord& record) {
  std::string line = "record " + std::to_string(index) + ": device " +
                     std::to_string(record.device_id) + " at " + Rfc3339(record.time) + ":";
  for (std::size_t k = 0; k < record.values.size(); ++k) {
    line += " c" + std::to_string(k + 1) + "=" + NumberText(record.values[k]);
  }
  return line;
}

std::string CsvHeader(const std::map<int, std::string>& headings) {
  std::string line = std::string(kCsvFirstHeadings[0]) + ',' + kCsvFirstHeadings[1];
  for (int k = 1; k <= kQiraoidColumns; ++k) {
    const auto heading = headings.find(k);
    line += ',' + (heading == headings.end() ? kCsvColumnLetter + std::to_string(k) : CsvCell(heading->second));
  }
  return line;
}

bool IsCsvOwnHeading(const std::string& heading) {
  const auto is_digit = [](char c) { return c >= '0' && c <= '9'; };
  const bool column =
      heading.size() > 1 && heading[0] == kCsvColumnLetter && std::all_of(heading.begin() + 1, heading.end(), is_digit);
  const auto& first = kCsvFirstHeadings;
  return column || std::find(std::begin(first), std::end(first), heading) != std::end(first);
}

std::string CsvRow(const DecodedRecord& record) {
  std::string line = std::to_string(record.device_id) + "," + Rfc3339(record.time);
  for (const float value : record.values) {
    line += ',';
    if (std::isfinite(value)) line += NumberText(value);
  }
  return line;
}

}  // namespace qiraoid
