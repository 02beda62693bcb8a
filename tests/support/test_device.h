// A uniform data device for tests: the cabinet's record, an alarm hook, and its members in view.
#pragma once

#include <functional>
#include <string>

#include "parse_json.h"
#include "snmp_qiraoid_data.h"
#include "uni_data_device.h"
#include "zrm_socket_device.h"

class TestDevice : public UniDataDevice<SNMP_QIRAOID_Data_t, ZRMSocketDevice, 0> {
 public:
  int process_data(int, unsigned char*, int) override { return 0; }
  void RunCheckThreshold() override {
    if (on_check) on_check(*this);
  }

  // Signals reported to the host as CheckThresholdBool would see them from a real device.
  void Report(const std::string& id, bool state) {
    CheckThresholdBool(2, id, id, "text", "name " + id, state, signal_no_++);
  }
  void SetColumn(int column, float value) {
    auto guard = GuardRecord();
    data_.value[column - 1] = value;
  }
  std::string RecordBytes() {
    auto guard = GuardRecord();
    return std::string(reinterpret_cast<const char*>(&data_), sizeof data_);
  }

  std::function<void(TestDevice&)> on_check;

  using UniDataDevice::alarm_changed_;
  using UniDataDevice::alarm_id_map_;
  using UniDataDevice::b_mode_;
  using UniDataDevice::data_ready_;
  using UniDataDevice::level_map_;
  using UniDataDevice::rule_values_;
  using UniDataDevice::sample_time_;
  using UniDataDevice::signal_name_map_;
  using UniDataDevice::signal_no_;
  using UniDataDevice::value_map_;
};

// Initialises the host side of a device the way the host does before InitSetting.
inline void InitHostSide(ZRMVDevice& device, unsigned id, const std::string& config = "{}") {
  device.Init(std::weak_ptr<ZRMController>(), id, ParseJson(config));
}
