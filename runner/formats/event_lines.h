// The lines the runner prints for what the host receives: rounds, alarm changes and stored
// records, as readable text or as one JSON object per line.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "driver_figures.h"
#include "record_text.h"
#include "alarm_transition.h"

namespace qiraoid {

enum class LineFormat { kText, kJson };

// Text: the id, round number, time, the first columns and how many are non-zero.
// JSON: {"event":"round","device":12,"round":1,"time":"<RFC 3339>","pass":{figures},
// "values":[1397 numbers]}, "pass" given when the pass that made the round is known.
std::string RoundLine(LineFormat format, uint32_t device, int round, const DecodedRecord& record,
                      const PassFigures* pass = nullptr);

// Text: "device 12 signal 82 raised: <id> <name>".
// JSON: {"event":"alarm","device":12,"signal":82,"id":"...","name":"...","active":true,
// "time":"<RFC 3339>"}, the time of the round that told the change.
std::string AlarmLine(LineFormat format, uint32_t device, const standin::AlarmTransition& alarm,
                      const ttime& round_time);

// One stored record with every column: "record 3: device 12 at <RFC 3339>: c1=... c1397=...".
std::string DumpLine(int index, const DecodedRecord& record);

// Spreadsheet rows: "device,time,c1,...,c1397", the time in RFC 3339; a value that is not a number
// is an empty cell. A column given a heading has it instead of its "cK", quoted as RFC 4180 asks
// when it holds a comma, a double quote or a line break.
std::string CsvHeader(const std::map<int, std::string>& headings = {});
std::string CsvRow(const DecodedRecord& record);
// Whether a heading is one of the header's own: device, time, or "c" and digits.
bool IsCsvOwnHeading(const std::string& heading);

}  // namespace qiraoid
