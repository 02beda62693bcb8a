#include <unistd.h>

#include "column_map_problems.h"
#include "commands.h"
#include "event_lines.h"
#include "history_file.h"
#include "line_output.h"

namespace qiraoid {

int DumpHistory(const Options& options) {
  const std::optional<ColumnMap> columns = LoadAcceptedColumnMap(options.column_map);
  if (!columns) return 1;
  HistoryFile file = HistoryFile::Open(options.dump_file);
  LineOutput out(STDOUT_FILENO);
  if (options.csv) out.Write(CsvHeader(ColumnHeadings(*columns)));
  std::string record;
  for (int index = 1; file.Next(record); ++index) {
    const DecodedRecord decoded = DecodeRecord(record);
    out.Write(options.csv ? CsvRow(decoded) : DumpLine(index, decoded));
  }
  if (file.torn_bytes() != 0) Diagnose(file.TornTailMessage());
  return 0;
}

}  // namespace qiraoid
