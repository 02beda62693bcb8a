// SNMP_QIRAOID: one dual-input power-distribution cabinet polled over SNMP v2c. InitSetting starts
// a sampling thread that walks the cabinet's table, a pass then 5 seconds, until the device is
// deleted; each complete walk completes a round. In mode 2 a round reports the alarm signals.
// appSetting.max_repetitions (1-100) asks for that many bindings per request instead of one; an
// agent that refuses such requests is asked one binding at a time for a rest (1 minute, doubling
// with each refusal in a row up to an hour, reset by a complete bulk pass), then tried again.
// The access keys (community, SNMPv3 user, time-out, retries) take effect from the next pass; a
// device logs one line when its agent starts failing, when the cause changes, and on recovery,
// and one line per appSetting key it does not read. It counts its own work (driver_figures.h).
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <memory>
#include <mutex>

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include "access_settings.h"
#include "agent_health.h"
#include "driver_book.h"
#include "sampling_thread.h"
#include "snmp_qiraoid_data.h"
#include "sampling_stop.h"
#include "table_walk.h"
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

  // The driver's own figures, and a watcher of its agent's state (driver_figures.h); any thread.
  qiraoid::DriverFigures DriverFigures() const { return figures_.Copy(); }
  void WatchDriver(qiraoid::DriverWatcher* watcher) { figures_.Watch(watcher); }

 protected:
  // Stops the sampling thread and joins it; idempotent. A class deriving from this one calls it
  // first in its own destructor, so that no pass calls into an object being taken apart.
  void StopSampling();

  netsnmp_session session_;  // template from which each pass opens its session
  oid root_oid_[MAX_OID_LEN];
  size_t root_oid_len_;
  std::atomic<long> max_repetitions_{0};  // 0: one binding per request

  // What InitSetting does besides starting the thread: every setting, the host's own included.
  int ReadSettings(const Json::Value& config);

  // The sampling thread's only: when the bulk shape is tried again after a refusal, and the last
  // rest (0 after a complete bulk pass).
  std::chrono::steady_clock::time_point bulk_again_at_;
  std::chrono::seconds bulk_rest_{0};

  // InitSetting's readers of the device's own appSetting keys.
  void NameUnknownKeys(const Json::Value& app);
  void ReadRequestShape(const Json::Value& app);
  void ReadAccess(const Json::Value& app);

 private:
  class Pass;  // one pass's exchange and store, for the walk
  enum class Walked { kNotTried, kIncomplete, kComplete };
  Walked WalkOnce();
  void UseAccess(std::shared_ptr<const qiraoid::AccessSettings> access);
  qiraoid::RequestShape ShapeOfNextPass() const;
  std::string WhoIs() const;  // "device 12 agent udp:...", the start of the agent's lines
  void Tell(const std::optional<std::string>& line);

  // InitSetting replaces the access settings and the template while a pass may be opening its
  // session from them.
  std::mutex access_mutex_;
  std::shared_ptr<const qiraoid::AccessSettings> access_;  // null: none usable yet, so no polling
  // Counts changes of access_: a pass facing a silent agent ends when the settings change, so
  // that new credentials are tried at once.
  std::atomic<unsigned> access_changes_{0};
  bool access_chosen_ = false;  // InitSetting has given usable settings, or left the defaults
  // The sampling thread's only.
  qiraoid::AgentLink link_;  // the agent's round trip and engine, from pass to pass
  unsigned link_access_changes_ = 0;  // the access settings link_'s engine was found with
  qiraoid::AgentHealth health_;
  qiraoid::DriverBook figures_;
  qiraoid::SamplingStop stop_;
  std::once_flag thread_started_;
  std::unique_ptr<qiraoid::SamplingThread> sample_thread_;
};
