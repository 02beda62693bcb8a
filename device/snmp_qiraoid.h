// SNMP_QIRAOID: one dual-input power-distribution cabinet polled over SNMP (v2c by default, or
// SNMPv3 as appSetting says). InitSetting starts a sampling thread that walks the cabinet's
// table, a pass then a pause (Poller::kPauseAfterPass), until the device is deleted; each complete
// walk completes a round. In mode 2 a round reports the alarm signals. appSetting.max_repetitions
// (as its rule allows, setting_rules.h) asks for that many bindings per request instead of one; an
// agent that refuses such requests is asked one binding at a time for a rest (Poller's bulk rest),
// then tried again. The access keys (community, SNMPv3 user, time-out,
// retries) take effect from the next pass; a device logs one line when its agent starts failing,
// when the cause changes, and on recovery, and one line per appSetting key it does not read. It
// counts its own work (driver_figures.h). The passes and what lasts between them are the SNMP
// core's Poller (snmp/poller.h); this class is what the host sees of them.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "poller.h"
#include "sampling_thread.h"
#include "snmp_qiraoid_data.h"
#include "uni_data_device.h"
#include "zrm_socket_device.h"

class SNMP_QIRAOID : public UniDataDevice<SNMP_QIRAOID_Data_t, ZRMSocketDevice, 0>, private qiraoid::PollTarget {
 public:
  SNMP_QIRAOID();
  // Stops the sampling thread, waking it from a pause or an exchange, and joins it.
  ~SNMP_QIRAOID() override;

  // Reads the settings, then starts the sampling thread on the first call only.
  int InitSetting(const Json::Value& config) override;
  int process_data(int socket, unsigned char* data, int len) override;
  int RefreshStatus() override;
  void RunCheckThreshold() override;

  // The sampling thread's body: a pass, then Poller::kPauseAfterPass, until the device stops.
  void sample_data(void* arg);
  // One walk pass over the cabinet's table; a complete walk ends with RoundDone.
  void do_sample();

  // The driver's own figures, and a watcher of its agent's state (driver_figures.h); any thread.
  qiraoid::DriverFigures DriverFigures() const { return poller_.Figures(); }
  void WatchDriver(qiraoid::DriverWatcher* watcher) { poller_.Watch(watcher); }
  // Ends the polling for good, waking it from a pause or an exchange, without waiting for it (the
  // destructor joins the thread); any thread.
  void StopPolling() { poller_.Stop(); }
  // For tests: what the device's passes run on, its settings as read and its figures; any thread.
  const qiraoid::Poller& TEST_poller() const { return poller_; }

 protected:
  // Stops the sampling thread and joins it; idempotent. A class deriving from this one calls it
  // first in its own destructor, so that no pass calls into an object being taken apart.
  void StopSampling();

  // What InitSetting does besides starting the thread: every setting, the host's own included.
  int ReadSettings(const Json::Value& config);

  // InitSetting's readers of the device's own appSetting keys.
  void NameUnknownKeys(const Json::Value& app);
  void ReadRequestShape(const Json::Value& app);
  void ReadAccess(const Json::Value& app);

 private:
  // The poller's calls back, on the sampling thread.
  void StampSampleTime(const boost::posix_time::ptime& local_second) override;
  void Store(const qiraoid::WalkSink::Columns& columns) override;
  void Log(const std::string& line) override;

  qiraoid::Poller poller_;
  bool access_chosen_ = false;  // InitSetting has given usable settings, or left the defaults
  std::once_flag thread_started_;
  std::unique_ptr<qiraoid::SamplingThread> sample_thread_;
};
