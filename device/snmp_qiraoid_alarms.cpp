// Mode 2: every round reports each alarm signal to the host's threshold service, in table order,
// numbered from signal_no_ and identified as "12083017" + the number in three digits + "0".
// The strings the host is handed are made once per process, so a round formats and allocates
// nothing per signal.
#include <charconv>
#include <string>
#include <vector>

#include "alarm_signals.h"
#include "settings_check.h"
#include "snmp_qiraoid.h"

using qiraoid::kAlarmMode;
using qiraoid::kAlarmSignalCount;
using qiraoid::kAlarmSignals;

namespace {

// "12083017" + number in at least three digits + "0": at most 14 characters, which a string holds
// in its own storage, so writing one into an existing string allocates nothing.
void WriteSignalId(unsigned short number, std::string& id) {
  char digits[5];
  const size_t length = static_cast<size_t>(std::to_chars(digits, digits + sizeof digits, number).ptr - digits);
  id.assign("12083017");
  if (length < 3) id.append(3 - length, '0');
  id.append(digits, length);
  id.push_back('0');
}

struct SignalStrings {
  std::string id;  // as numbered in a round, whose numbers start at 1
  std::string name;
};

const std::vector<SignalStrings>& Strings() {
  static const std::vector<SignalStrings> strings = [] {
    std::vector<SignalStrings> made(kAlarmSignalCount);
    for (int i = 0; i < kAlarmSignalCount; ++i) {
      WriteSignalId(static_cast<unsigned short>(i + 1), made[i].id);
      made[i].name = kAlarmSignals[i].name;
    }
    return made;
  }();
  return strings;
}

}  // namespace

void SNMP_QIRAOID::RunCheckThreshold() {
  if (b_mode_ != kAlarmMode) return;
  static const std::string kAlarmText = "专用空调其他告警";
  const std::vector<SignalStrings>& strings = Strings();
  std::string other_id;  // a number outside a round's usual numbering
  for (int i = 0; i < kAlarmSignalCount; ++i) {
    const unsigned short number = signal_no_++;
    const bool usual = number == i + 1;
    if (!usual) WriteSignalId(number, other_id);
    const std::string& id = usual ? strings[i].id : other_id;
    const bool active = data_.value[kAlarmSignals[i].column - 1] != 0.0f;
    CheckThresholdBool(2, id, id, kAlarmText, strings[i].name, active, number);
  }
}
