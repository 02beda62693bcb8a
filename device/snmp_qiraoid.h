// SNMP_QIRAOID: one dual-input power-distribution cabinet polled over SNMP v2c. InitSetting starts
// a sampling thread that walks the cabinet's table, a pass then 5 seconds, until the device is
// deleted; each complete walk completes a round. In mode 2 a round reports the alarm signals.
#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <thread>

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include "snmp_qiraoid_data.h"
#include "stop_signal.h"
#include "uni_data_device.h"
#include "zrm_socket_device.h"

class SNMP_QIRAOID : public UniDataDevice<SNMP_QIRAOID_Data_t, ZRMSocketDevice, 0> {
 public:
  SNMP_QIRAOID();
  // Stops the sampling thread, waking it from a pause or an exchange, and joins it.
  ~SNMP_QIRAOID() override;

  // Reads the settings, then starts the sampling thread on the first call only.
  int InitSetting(const Json::Value& config) override;
  int process_data(int socket, unsigned char* data, int len) override;
  int RefreshStatus() override;
  void RunCheckThreshold() override;

  // The sampling thread's body: a pass, then 5 seconds, until the device stops.
  void sample_data(void* arg);
  // One walk pass over the cabinet's table; a complete walk ends with RoundDone.
  void do_sample();

 protected:
  enum class AnswerEnd { kWalkGoesOn, kWalkComplete, kAgentFault };
  AnswerEnd StoreAnswer(const netsnmp_pdu& answer);
  bool InRoot(const netsnmp_variable_list& variable) const;

  netsnmp_session session_;  // template from which each pass opens its session
  oid root_oid_[MAX_OID_LEN];
  size_t root_oid_len_;
  oid request_oid_[MAX_OID_LEN];  // the walk continues after this OID
  size_t request_oid_len_ = 0;

 private:
  StopSignal stop_;
  std::once_flag thread_started_;
  std::unique_ptr<std::thread> sample_thread_;
};
