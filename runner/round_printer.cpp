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
  // Read from inside the round, the last pass is the one that made it.
  const std::optional<DriverFigures> figures =
      format_ == LineFormat::kJson && driver_ != nullptr ? driver_->Figures(device) : std::nullopt;
  const PassFigures* pass = figures && figures->passes > 0 ? &figures->last_pass : nullptr;
  const DecodedRecord decoded = DecodeRecord(record);
  {
    const MutexLock guard(&times_mutex_);
    round_times_[id] = decoded.time;
  }
  out_.Write(RoundLine(format_, id, round, decoded, pass));
}

void RoundPrinter::OnAlarm(ZRMVDevice& device, const standin::AlarmTransition& alarm) {
  const uint32_t id = device.DataId();
  if (!progress_.Counting(id)) return;
  ttime round_time{};
  {
    const MutexLock guard(&times_mutex_);
    round_time = round_times_[id];
  }
  out_.Write(AlarmLine(format_, id, alarm, round_time));
}

}  // namespace qiraoid
