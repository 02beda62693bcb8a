#include <string>

#include <json/writer.h>

#include "journal.h"

namespace {

std::string Compact(const Json::Value& value) {
  Json::StreamWriterBuilder builder;
  builder["indentation"] = "";
  return Json::writeString(builder, value);
}

std::string Flag(bool value) { return value ? "true" : "false"; }

// Reads "agent" and "address" into the device; false when "address" is not 0-255.
bool ReadAddresses(const Json::Value& config, std::string& agent, uint8_t& address) {
  if (!config.isObject()) return true;
  if (config["agent"].isString()) agent = config["agent"].asString();
  const Json::Value& number = config["address"];
  if (number.isNull()) return true;
  if (!number.isIntegral() || number.asLargestInt() < 0 || number.asLargestInt() > 255) return false;
  address = static_cast<uint8_t>(number.asUInt());
  return true;
}

}  // namespace

ZRMVDevice::ZRMVDevice() = default;

ZRMVDevice::~ZRMVDevice() { standin::ForgetDevice(*this); }

int ZRMVDevice::DeviceIoControl(int code, const void*, int, void*, int, int& returned) {
  standin::Journal(this, "DeviceIoControl", {std::to_string(code)});
  returned = 0;
  return 0;
}

void ZRMVDevice::Reset() { standin::Journal(this, "Reset"); }

int ZRMVDevice::InitV(ZRMVDevice*, unsigned int data_id, const Json::Value& config) {
  standin::Journal(this, "InitV", {std::to_string(data_id), Compact(config)});
  return 0;
}

int ZRMVDevice::Init(std::weak_ptr<ZRMController>, unsigned int data_id, const Json::Value& config) {
  standin::Journal(this, "Init", {std::to_string(data_id), Compact(config)});
  data_id_ = data_id;
  return ReadAddresses(config, peer_address_, device_address_) ? 0 : -1;
}

int ZRMVDevice::InitSetting(const Json::Value& config) {
  standin::Journal(this, "InitSetting", {Compact(config)});
  return 1;
}

bool ZRMVDevice::IsSupportDevice(const std::string& device_type) const {
  standin::Journal(this, "IsSupportDevice", {device_type});
  return device_type == device_type_;
}

int ZRMVDevice::SendSP(int kind, const unsigned char* data, unsigned int len, bool urgent) {
  standin::Journal(this, "SendSP", {std::to_string(kind), std::to_string(len), Flag(urgent)});
  standin::KeepPublished(*this, std::string(reinterpret_cast<const char*>(data), len));
  return 0;
}

int ZRMVDevice::SendDelayData(int delay) {
  standin::Journal(this, "SendDelayData", {std::to_string(delay)});
  return 0;
}

int ZRMVDevice::SendDoData(int channel, char value) {
  standin::Journal(this, "SendDoData", {std::to_string(channel), std::to_string(value)});
  return 0;
}

int ZRMVDevice::ReadDi(int channel) {
  standin::Journal(this, "ReadDi", {std::to_string(channel)});
  return 0;
}

float ZRMVDevice::ReadAi(int channel) {
  standin::Journal(this, "ReadAi", {std::to_string(channel)});
  return 0.0f;
}

float ZRMVDevice::Get_SP_Value(unsigned int index, const std::string& key) {
  standin::Journal(this, "Get_SP_Value", {std::to_string(index), key});
  return 0.0f;
}

int ZRMVDevice::CheckThresholdBool(int kind, const std::string& signal_id,
                                   const std::string& alarm_id, const std::string& text,
                                   const std::string& signal_name, bool state,
                                   unsigned short signal_no) {
  if (standin::JournalKept()) {
    standin::Journal(this, "CheckThresholdBool",
                     {std::to_string(kind), signal_id, alarm_id, text, signal_name, Flag(state),
                      std::to_string(signal_no)});
  }
  standin::AnnounceSignal(*this, {signal_no, signal_id, signal_name, state});
  if (!standin::ChangeSignalState(*this, signal_id, state)) return 0;
  rule_values_.push_back(
      {kind, signal_id, alarm_id, state ? 1.0 : 0.0, text, signal_name, signal_no});
  standin::AnnounceAlarm(*this, {signal_no, signal_id, signal_name, state});
  return 1;
}

bool ZRMVDevice::DoBatchCheckThreshold(const std::vector<rule_value>& rules) {
  standin::Journal(this, "DoBatchCheckThreshold", {std::to_string(rules.size())});
  return !rules.empty();
}

int ZRMVDevice::SaveDeviceHistory(const unsigned char* data, unsigned int len) {
  standin::Journal(this, "SaveDeviceHistory", {std::to_string(len)});
  standin::KeepHistory(*this, data_id_, std::string(reinterpret_cast<const char*>(data), len));
  return 0;
}
