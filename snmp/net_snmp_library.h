// The Net-SNMP library as the devices of one process share it: set up once, without reading any
// configuration, persistent or MIB file, and with its SNMPv3 security state behind one lock.
#pragma once

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include "mutex.h"

namespace qiraoid {

// Sets the library up once per process, before the first session; safe from any thread.
void EnsureNetSnmpReady();

// The library keeps SNMPv3's users and engine times in tables of its own with no lock (it is
// built without thread support), so every call that may touch them (opening, closing, sending,
// reading and timing out an SNMPv3 session) holds this. SNMPv2c sessions touch none of it.
Mutex& SecurityStateMutex();

// Holds SecurityStateMutex() for its scope when `needed`. An SNMPv2c session's calls pass false and
// take no lock; the analysis counts the state as held for them all the same, as they touch none of it.
class SCOPED_CAPABILITY SecurityStateLock {
 public:
  explicit SecurityStateLock(bool needed = true) ACQUIRE(SecurityStateMutex()) : held_(needed) {
    if (held_) SecurityStateMutex().Lock();
  }
  ~SecurityStateLock() RELEASE() {
    if (held_) SecurityStateMutex().Unlock();
  }
  SecurityStateLock(const SecurityStateLock&) = delete;
  SecurityStateLock& operator=(const SecurityStateLock&) = delete;

 private:
  const bool held_;
};

}  // namespace qiraoid
