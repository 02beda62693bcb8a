#include "snmp_qiraoid.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "app_setting.h"
#include "log_line.h"
#include "snmp_session.h"

namespace {

char kCommunity[] = "qondel";
const oid kRootPrefix[] = {1, 3, 6, 1, 4, 1, 61333, 1, 1, 4};

}  // namespace

SNMP_QIRAOID::SNMP_QIRAOID() {
  std::fill(std::begin(root_oid_), std::end(root_oid_), 0);
  std::copy(std::begin(kRootPrefix), std::end(kRootPrefix), root_oid_);
  root_oid_len_ = std::size(kRootPrefix);
  device_type_ = "snmp_qiraoid";
  EnsureNetSnmpReady();
  snmp_sess_init(&session_);
  session_.version = SNMP_VERSION_2c;
  session_.community = reinterpret_cast<u_char*>(kCommunity);
  session_.community_len = std::strlen(kCommunity);
  session_.timeout = 10 * 1000 * 1000;
  session_.retries = 1;
}

SNMP_QIRAOID::~SNMP_QIRAOID() {
  stop_.Raise();
  if (sample_thread_) sample_thread_->join();
}

int SNMP_QIRAOID::InitSetting(const Json::Value& config) {
  ReadRequestShape(config);
  const int result = UniDataDevice::InitSetting(config);
  std::call_once(thread_started_, [this] {
    sample_thread_ =
        std::make_unique<SamplingThread>([this] { sample_data(nullptr); }, kSamplingStackBytes);
  });
  return result;
}

// A missing key keeps the shape as it was; a value that is not a whole number 1-100 is refused.
void SNMP_QIRAOID::ReadRequestShape(const Json::Value& config) {
  const Json::Value& app = config["appSetting"];
  if (!app.isObject() || !app.isMember("max_repetitions")) return;
  const Json::Value& value = app["max_repetitions"];
  const std::optional<long> repetitions = WholeNumberSetting(value, 1, 100);
  if (!repetitions) {
    LogLine("device ", data_id_, ": max_repetitions ", SettingText(value),
            " refused (a whole number from 1 to 100); asking for one binding per request");
  }
  max_repetitions_.store(repetitions.value_or(0));
}

int SNMP_QIRAOID::process_data(int, unsigned char*, int) { return 0; }

int SNMP_QIRAOID::RefreshStatus() { return 0; }

void SNMP_QIRAOID::sample_data(void*) {
  while (!stop_.raised()) {
    do_sample();
    stop_.WaitFor(std::chrono::seconds(5));
  }
}
