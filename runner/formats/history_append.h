// Appending to a history file (history_file.h) so that it only ever holds whole records: a torn
// tail left by a stopped run is cut before the first append, and an append either lands whole or
// is cut back. One process appends to a file at a time; callers serialise appends to one file.
#pragma once

#include <optional>
#include <string>

namespace qiraoid {

// Cuts the bytes after the last whole record of the file at path and gives a line that says so,
// naming the file and the bytes cut (nothing when the file is whole or absent). Throws
// RunnerError, leaving the file as it is, when it is not a history file or cannot be read or cut.
std::optional<std::string> CutTornTail(const std::string& path);

// Appends one record (creating the file) in one write. Gives nothing when it is stored, or the
// cause when it is not, after cutting the file back to its last whole record.
std::optional<std::string> AppendRecord(const std::string& path, const std::string& record);

}  // namespace qiraoid
