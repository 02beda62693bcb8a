// Where a cabinet's table lives in its agent: 1.3.6.1.4.1.61333.1.1.A.0, A the device address.
#pragma once

#include <iterator>
#include <vector>

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

inline constexpr oid kPrivateEnterprises[] = {1, 3, 6, 1, 4, 1};  // iso.org.dod.internet.private.enterprises
inline constexpr oid kQiraoidEnterprise = 61333;
inline constexpr oid kCabinetTables[] = {1, 1};  // below the enterprise: one table per device address
inline constexpr oid kCabinetTableEntry = 0;     // below the address: the table's columns

// The root a pass walks for the device at `address`.
inline std::vector<oid> CabinetTableRoot(oid address) {
  std::vector<oid> root(std::begin(kPrivateEnterprises), std::end(kPrivateEnterprises));
  root.push_back(kQiraoidEnterprise);
  root.insert(root.end(), std::begin(kCabinetTables), std::end(kCabinetTables));
  root.push_back(address);
  root.push_back(kCabinetTableEntry);
  return root;
}
