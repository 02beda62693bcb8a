// The cabinet's alarm signals, in reporting order: signal n is row n-1. A signal is active when
// its column of the record is non-zero.
#pragma once

#include <array>

namespace qiraoid {

struct AlarmSignal {
  int column;        // column of the cabinet's table, 1-based
  const char* name;  // UTF-8 name handed to the host
};

constexpr int kAlarmSignalCount = 312;
extern const std::array<AlarmSignal, kAlarmSignalCount> kAlarmSignals;

}  // namespace qiraoid
