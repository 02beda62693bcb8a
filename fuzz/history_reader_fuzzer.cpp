// History file bytes as zrmhost dump and replay read them, through every line printed from a
// record: any bytes are either read or refused with a RunnerError.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <sstream>
#include <string>

#include "event_lines.h"
#include "history_file.h"
#include "runner_error.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto stream = std::make_unique<std::istringstream>(std::string(reinterpret_cast<const char*>(data), size));
  try {
    qiraoid::HistoryFile file(std::move(stream), size, "fuzz.history");
    std::string record;
    for (int index = 1; file.Next(record); ++index) {
      const qiraoid::DecodedRecord decoded = qiraoid::DecodeRecord(record);
      qiraoid::DumpLine(index, decoded);
      qiraoid::CsvRow(decoded);
      qiraoid::RoundLine(qiraoid::LineFormat::kJson, decoded.device_id, index, decoded);
    }
    if (file.torn_bytes() != 0) file.TornTailMessage();
  } catch (const qiraoid::RunnerError&) {
  }
  return 0;
}
