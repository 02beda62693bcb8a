// The cabinet device with its protected state in view, for tests.
#pragma once

#include "snmp_qiraoid.h"

class QiraoidProbe : public SNMP_QIRAOID {
 public:
  ~QiraoidProbe() override { StopSampling(); }

  using SNMP_QIRAOID::b_mode_;
  using SNMP_QIRAOID::bulk_again_at_;
  using SNMP_QIRAOID::data_ready_;
  using SNMP_QIRAOID::max_repetitions_;
  using SNMP_QIRAOID::ReadAccess;
  using SNMP_QIRAOID::ReadSettings;
  using SNMP_QIRAOID::root_oid_;
  using SNMP_QIRAOID::root_oid_len_;
  using SNMP_QIRAOID::sample_time_;
  using SNMP_QIRAOID::session_;
  using SNMP_QIRAOID::signal_no_;

  float Column(int column) {
    auto guard = GuardRecord();
    return data_.value[column - 1];
  }
  std::string RecordBytes() {
    auto guard = GuardRecord();
    return std::string(reinterpret_cast<const char*>(&data_), sizeof data_);
  }
};
