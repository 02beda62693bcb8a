// SNMP_QIRAOID_Data_t: the record a cabinet device publishes each round, stores in the history and
// takes back from the host's cache. An external format: packed, little-endian, 5599 bytes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "ttime.h"

constexpr int kQiraoidColumns = 1397;

#pragma pack(push, 1)
struct SNMP_QIRAOID_Data_t {
  uint32_t data_id;                // device id
  float value[kQiraoidColumns];    // value[k-1] holds column k of the cabinet's table
  ttime time;                      // local time of the last completed round
};
#pragma pack(pop)

static_assert(sizeof(SNMP_QIRAOID_Data_t) == 5599, "the record is 5599 bytes");
static_assert(alignof(SNMP_QIRAOID_Data_t) == 1, "the record is packed");
static_assert(offsetof(SNMP_QIRAOID_Data_t, value) == 4, "column 1 starts at byte 4");
static_assert(offsetof(SNMP_QIRAOID_Data_t, time) == 5592, "the time follows column 1397");
static_assert(sizeof(float) == 4, "columns are IEEE-754 single precision");
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "the record is little-endian; this target stores it otherwise"
#endif
