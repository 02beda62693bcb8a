// The cabinet device with the host template's state and its settings' readers in view, for tests.
#pragma once

#include <string>

#include "parse_json.h"
#include "snmp_qiraoid.h"

class QiraoidProbe : public SNMP_QIRAOID {
 public:
  ~QiraoidProbe() override { StopSampling(); }

  using SNMP_QIRAOID::b_mode_;
  using SNMP_QIRAOID::data_ready_;
  using SNMP_QIRAOID::ReadAccess;
  using SNMP_QIRAOID::ReadRequestShape;
  using SNMP_QIRAOID::ReadSettings;
  using SNMP_QIRAOID::sample_time_;
  using SNMP_QIRAOID::signal_no_;

  // appSetting.max_repetitions as InitSetting reads it; 0 leaves one binding per request.
  void AskForRepetitions(long repetitions) {
    if (repetitions == 0) return;
    ReadRequestShape(ParseJson(R"({"max_repetitions":)" + std::to_string(repetitions) + "}"));
  }
  float Column(int column) {
    auto guard = GuardRecord();
    return data_.value[column - 1];
  }
  std::string RecordBytes() {
    auto guard = GuardRecord();
    return std::string(reinterpret_cast<const char*>(&data_), sizeof data_);
  }
};
