// ZRMVDevice: the host's virtual device. The host sets the device id and the agent and device
// addresses in Init, publishes records (SendSP), keeps history and runs threshold checks.
// Bodies not written here belong to the host process; a plug-in never defines them.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <json/value.h>

#include "rule_value.h"
#include "ttime.h"
#include "vdevice_interface.h"

class ZRMController;

class ZRMVDevice : public VDeviceInterface {
 public:
  ZRMVDevice();
  ~ZRMVDevice() override;

  int DeviceIoControl(int code, const void* in, int in_len, void* out, int out_len,
                      int& returned) override;
  virtual void Reset();
  virtual int InitV(ZRMVDevice* parent, unsigned int data_id, const Json::Value& config);
  virtual int Init(std::weak_ptr<ZRMController> controller, unsigned int data_id,
                   const Json::Value& config);
  virtual int InitSetting(const Json::Value& config);
  virtual bool IsSupportDevice(const std::string& device_type) const;
  virtual std::shared_ptr<ZRMVDevice> GetChildVDevice(unsigned int /*index*/) { return {}; }
  virtual std::vector<std::shared_ptr<ZRMVDevice>> GetAllChildVDevices() { return {}; }
  virtual int SendSP(int kind, const unsigned char* data, unsigned int len, bool urgent);
  virtual int SendDelayData(int delay);
  virtual int SendDoData(int channel, char value);
  virtual int ReadDi(int channel);
  virtual float ReadAi(int channel);
  virtual float Get_SP_Value(unsigned int index, const std::string& key);

  // Reports one boolean signal to the host's threshold service.
  int CheckThresholdBool(int kind, const std::string& signal_id, const std::string& alarm_id,
                         const std::string& text, const std::string& signal_name, bool state,
                         unsigned short signal_no);
  // Runs the host's batch check over a round's rule list; true when an alarm changed.
  bool DoBatchCheckThreshold(const std::vector<rule_value>& rules);
  int SaveDeviceHistory(const unsigned char* data, unsigned int len);

 protected:
  std::string peer_address_;
  uint8_t device_address_ = 0;
  uint16_t signal_no_ = 0;
  boost::posix_time::ptime sample_time_;
  bool data_ready_ = false;
  std::vector<rule_value> rule_values_;
  bool alarm_changed_ = false;
  std::map<std::string, int> level_map_;
  std::map<std::string, float> value_map_;
};
