// The stand-in host: the host framework's out-of-line operations, built as a library that tests
// and tools link and that a plug-in never links (it resolves them from the process at load time).
//
// Choices the host framework leaves open, as this stand-in makes them:
// - Init reads the device's JSON: "agent" (text, a Net-SNMP address such as "udp:127.0.0.1:1161")
//   becomes peer_address_, "address" (a number 0-255) becomes device_address_. Init returns 0, or
//   -1 when "address" is present but not a whole number in 0-255 (the address is then left as is).
// - get_ttime gives 7 bytes: year (16-bit little-endian), month, day, hour, minute, second.
// - CheckThresholdBool keeps the last state of each signal identifier per device (a signal not yet
//   reported counts as cleared) and adds one rule_value to rule_values_ when a signal changes
//   state, so a round's rule list holds its alarm transitions. DoBatchCheckThreshold returns true
//   when the list is not empty.
// - SendSP and SaveDeviceHistory keep the records they were given; with a history keeper set,
//   SaveDeviceHistory also hands it each record to store.
// - InitSetting returns 1; the other host operations return 0 and do nothing.
// - Every call a device makes into the host is journalled in order with its arguments as text.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "alarm_transition.h"
#include "zrm_socket_device.h"

namespace standin {

struct HostCall {
  const ZRMVDevice* device;  // null for get_ttime, which names no device
  std::string name;
  std::vector<std::string> args;
};

// One report of a signal's state, as the device made it: valid during the call only, so that a
// round's 312 reports copy nothing.
struct SignalReport {
  unsigned short signal_no;
  const std::string& signal_id;
  const std::string& signal_name;
  bool active;
};

// Told what the host receives; runs on the thread of the device's round, outside the host's locks.
class HostListener {
 public:
  virtual ~HostListener() = default;
  virtual void OnPublished(ZRMVDevice& /*device*/, const std::string& /*record*/) {}
  virtual void OnAlarm(ZRMVDevice& /*device*/, const AlarmTransition& /*transition*/) {}
  // Every report of a signal's state, changed or not (before OnAlarm for a change).
  virtual void OnSignal(ZRMVDevice& /*device*/, const SignalReport& /*state*/) {}
};

// Calls of one device (and the get_ttime calls, which name none), oldest first.
std::vector<HostCall> CallsOf(const ZRMVDevice& device);
void ClearCalls();
// Records given to SendSP and to SaveDeviceHistory by one device, oldest first.
std::vector<std::string> PublishedOf(const ZRMVDevice& device);
std::vector<std::string> HistoryOf(const ZRMVDevice& device);

void SetListener(HostListener* listener);  // null removes it
// Whether calls and records are kept in memory for CallsOf/PublishedOf/HistoryOf (the default);
// a long-running host turns this off so its memory stays flat.
void SetJournalKept(bool kept);
// Stores every record a device gives SaveDeviceHistory; called on the device's round thread, one
// record of a device at a time, outside the host's locks.
class HistoryKeeper {
 public:
  virtual ~HistoryKeeper() = default;
  virtual void Store(uint32_t device_id, const std::string& record) = 0;
};

// The keeper of stored records; null (the default) keeps history in memory only.
void SetHistoryKeeper(HistoryKeeper* keeper);

}  // namespace standin
