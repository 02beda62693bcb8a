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

// The library keeps one SNMPv3 user per agent engine and user name, made from the first session
// that needed it, and uses it for every later session with that name. Before a session with other
// keys for a name opens, this forgets the name's users, so that changed credentials take effect.
// Hold SecurityStateGuard.
void ForgetUserWithOtherKeys(const netsnmp_session& session);

}  // namespace qiraoid
