// Mode 2: every round reports each alarm signal to the host's threshold service, in table order,
// numbered from signal_no_ and identified as "12083017" + the number in three digits + "0".
#include <iomanip>
#include <sstream>
#include <string>

#include "alarm_signals.h"
#include "snmp_qiraoid.h"

using qiraoid::AlarmSignal;
using qiraoid::kAlarmSignals;

namespace {

const char kAlarmText[] = "专用空调其他告警";

std::string SignalId(unsigned short signal_no) {
  std::ostringstream id;
  id << "12083017" << std::setw(3) << std::setfill('0') << signal_no << "0";
  return id.str();
}

}  // namespace

void SNMP_QIRAOID::RunCheckThreshold() {
  if (b_mode_ != 2) return;
  for (const AlarmSignal& signal : kAlarmSignals) {
    const std::string signal_id = SignalId(signal_no_);
    const std::string alarm_id = SignalId(signal_no_);
    const bool active = data_.value[signal.column - 1] != 0.0f;
    const unsigned short number = signal_no_++;
    CheckThresholdBool(2, signal_id, alarm_id, kAlarmText, signal.name, active, number);
  }
}
