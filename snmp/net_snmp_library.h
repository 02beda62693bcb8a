// The Net-SNMP library as the devices of one process share it: set up once, without reading any
// configuration, persistent or MIB file, and with its SNMPv3 security state behind one lock.
#pragma once

#include <mutex>

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

namespace qiraoid {

// Sets the library up once per process, before the first session; safe from any thread.
void EnsureNetSnmpReady();

// The library keeps SNMPv3's users and engine times in tables of its own with no lock (it is
// built without thread support), so every call that may touch them (opening, closing, sending,
// reading and timing out an SNMPv3 session) holds this. SNMPv2c sessions touch none of it.
std::unique_lock<std::mutex> SecurityStateGuard();

}  // namespace qiraoid
