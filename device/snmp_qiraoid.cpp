#include "snmp_qiraoid.h"

#include <algorithm>
#include <chrono>

#include "net_snmp_library.h"

using qiraoid::AccessSettings;
using qiraoid::EnsureNetSnmpReady;
using qiraoid::SamplingThread;
using qiraoid::kSamplingStackBytes;

namespace {

const oid kRootPrefix[] = {1, 3, 6, 1, 4, 1, 61333, 1, 1, 4};

}  // namespace

SNMP_QIRAOID::SNMP_QIRAOID() {
  std::fill(std::begin(root_oid_), std::end(root_oid_), 0);
  std::copy(std::begin(kRootPrefix), std::end(kRootPrefix), root_oid_);
  root_oid_len_ = std::size(kRootPrefix);
  device_type_ = "snmp_qiraoid";
  EnsureNetSnmpReady();
  UseAccess(std::make_shared<const AccessSettings>());
}

SNMP_QIRAOID::~SNMP_QIRAOID() { StopSampling(); }

void SNMP_QIRAOID::StopSampling() {
  stop_.Raise();
  if (sample_thread_) sample_thread_->join();
}

int SNMP_QIRAOID::InitSetting(const Json::Value& config) {
  const int result = ReadSettings(config);
  std::call_once(thread_started_, [this] {
    sample_thread_ =
        std::make_unique<SamplingThread>([this] { sample_data(nullptr); }, kSamplingStackBytes);
  });
  return result;
}

int SNMP_QIRAOID::ReadSettings(const Json::Value& config) {
  const Json::Value& app = config["appSetting"];
  const Json::Value none(Json::objectValue);
  NameUnknownKeys(app.isObject() ? app : none);
  ReadRequestShape(app.isObject() ? app : none);
  ReadAccess(app.isObject() ? app : none);
  return UniDataDevice::InitSetting(config);
}

int SNMP_QIRAOID::process_data(int, unsigned char*, int) { return 0; }

int SNMP_QIRAOID::RefreshStatus() { return 0; }

void SNMP_QIRAOID::sample_data(void*) {
  while (!stop_.raised()) {
    do_sample();
    stop_.WaitFor(std::chrono::seconds(5));
  }
}
