// DerivedKeys: the key SNMPv3 derives from a passphrase (RFC 3414, A.2, Ku), remembered for the
// passphrases met again. Each derivation hashes a million bytes: a fleet of devices sharing their
// passphrases, checked and then set up, would otherwise derive the same keys twice per device, for
// a thousand authPriv devices seconds of CPU here and minutes on the controller before the last one
// polls. Remembered by a salted digest of protocol and passphrase, never the passphrase itself.
// Thread-safe; the library must be set up (EnsureNetSnmpReady) first.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

namespace qiraoid {

// How many protocol and passphrase pairs are remembered; the one unused longest makes room.
inline constexpr std::size_t kRememberedKeys = 32;

// Ku for the passphrase with the hash of the auth protocol; nothing when the library cannot derive one.
std::optional<std::string> DeriveKey(const oid* auth_protocol, std::size_t auth_protocol_length,
                                     const std::string& passphrase);

}  // namespace qiraoid
