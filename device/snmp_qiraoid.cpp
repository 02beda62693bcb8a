#include "snmp_qiraoid.h"

using qiraoid::SamplingThread;
using qiraoid::kSamplingStackBytes;

namespace {

// The machine's clock and Net-SNMP's sessions: stateless, shared by every device.
qiraoid::RealPollClock real_clock;
qiraoid::NetSnmpOpener net_snmp;

}  // namespace

SNMP_QIRAOID::SNMP_QIRAOID() : poller_(real_clock, net_snmp) { device_type_ = "snmp_qiraoid"; }

SNMP_QIRAOID::~SNMP_QIRAOID() { StopSampling(); }

void SNMP_QIRAOID::StopSampling() {
  poller_.Stop();
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
  poller_.Run([this] { do_sample(); });
}
