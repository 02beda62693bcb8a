// How a cabinet column's SNMP value becomes the float stored in the record.
#pragma once

#include <string>
#include <string_view>

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

namespace qiraoid {

// Numeric types, Opaque-wrapped numbers included, are taken by their value; every other value is
// its bytes read as number text.
float ColumnValue(const netsnmp_variable_list& variable);

// Reads number text by atof's rules (leading blanks, longest numeric prefix, 0.0 without one),
// always with a decimal point, whatever locale the host process has set. Text stops at a NUL.
double ParseNumberText(std::string_view text);

}  // namespace qiraoid
