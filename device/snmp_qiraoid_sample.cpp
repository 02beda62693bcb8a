// One pass as the host sees it: the device's line, the poller's pass over the cabinet's table at
// the device's address, and RoundDone after a complete walk. The poller calls back to stamp the
// sampling time, to store the answers' columns in the record under its lock, and to log its lines.
#include "cabinet_table.h"
#include "log_line.h"
#include "snmp_qiraoid.h"

void SNMP_QIRAOID::do_sample() {
  LogLine("SNMP_QIRAOID::do_sample");
  qiraoid::PassAim aim;
  aim.device = data_id_;
  aim.agent = peer_address_;
  aim.root = CabinetTableRoot(device_address_);
  aim.last_column = kQiraoidColumns;
  if (poller_.Pass(aim, *this) == qiraoid::Poller::Walked::kComplete) RoundDone();
}

void SNMP_QIRAOID::StampSampleTime(const boost::posix_time::ptime& local_second) {
  auto guard = GuardRecord();
  sample_time_ = local_second;
}

void SNMP_QIRAOID::Store(const qiraoid::WalkSink::Columns& columns) {
  auto guard = GuardRecord();
  for (const auto& [column, value] : columns) data_.value[column - 1] = value;
}

void SNMP_QIRAOID::Log(const std::string& line) { WriteLogLine(line); }
