#include "round_printer.h"

#include "line_output.h"

namespace qiraoid {

void RoundPrinter::OnPublished(ZRMVDevice& device, const std::string& record) {
  const uint32_t id = device.DataId();
  const int round = progress_.CountRound(id);
  if (round == 0) return;
  if (record.size() != kRecordBytes) {
    Diagnose("device " + std::to_string(id) + " published a record of " +
             std::to_string(record.size()) + " bytes, not " + std::to_string(kRecordBytes) +
             "; round " + std::to_string(round) + " not printed");
    return;
  }
  out_.Write(RoundLine(format_, id, round, DecodeRecord(record)));
}

void RoundPrinter::OnAlarm(ZRMVDevice& device, const standin::AlarmTransition& alarm) {
  const uint32_t id = device.DataId();
  if (progress_.Counting(id)) out_.Write(AlarmLine(format_, id, alarm));
}

}  // namespace qiraoid
