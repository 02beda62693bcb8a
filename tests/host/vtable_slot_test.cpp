// The closed host calls devices through fixed virtual-table slots: their order is an ABI.
// Under the Itanium C++ ABI a pointer to a virtual member function carries its vtable offset,
// so the order can be read back from the compiled classes.
#include <cstddef>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "provider.h"
#include "test_device.h"

namespace {

using Device = UniDataDevice<SNMP_QIRAOID_Data_t, ZRMSocketDevice, 0>;
using Buffers = std::vector<boost::asio::const_buffer>;

// Returns the 1-based slot of a virtual member function, or 0 if it is not virtual.
template <typename MemberFunction>
std::ptrdiff_t SlotOf(MemberFunction function) {
  struct Representation {
    std::ptrdiff_t ptr;
    std::ptrdiff_t adj;
  } rep;
  static_assert(sizeof(MemberFunction) == sizeof(Representation), "Itanium member pointer");
  std::memcpy(&rep, &function, sizeof rep);
#if defined(__arm__) || defined(__aarch64__)
  // The ARM variant keeps the virtual flag in the adjustment, since code addresses may be odd.
  if ((rep.adj & 1) == 0) return 0;
  return rep.ptr / static_cast<std::ptrdiff_t>(sizeof(void*)) + 1;
#else
  if ((rep.ptr & 1) == 0) return 0;
  return (rep.ptr - 1) / static_cast<std::ptrdiff_t>(sizeof(void*)) + 1;
#endif
}

TEST(VirtualSlots, DeviceOperationsKeepTheHostOrder) {
  const struct {
    const char* name;
    std::ptrdiff_t slot;
    std::ptrdiff_t expected;
  } rows[] = {
      {"Get_Value", SlotOf(&Device::Get_Value), 1},
      {"LoadFromCache(string)",
       SlotOf(static_cast<int (Device::*)(const std::string&)>(&Device::LoadFromCache)), 2},
      {"LoadFromCache(bytes)",
       SlotOf(static_cast<int (Device::*)(const unsigned char*, int)>(&Device::LoadFromCache)), 3},
      {"DataId", SlotOf(&Device::DataId), 4},
      {"DeviceType", SlotOf(&Device::DeviceType), 5},
      {"DeviceIoControl", SlotOf(&Device::DeviceIoControl), 6},
      {"RoundDone", SlotOf(&Device::RoundDone), 7},
      {"UseControllerDb", SlotOf(&Device::UseControllerDb), 8},
      // Slots 9 and 10 hold the complete and the deleting destructor.
      {"Reset", SlotOf(&Device::Reset), 11},
      {"InitV", SlotOf(&Device::InitV), 12},
      {"Init", SlotOf(&Device::Init), 13},
      {"InitSetting", SlotOf(&Device::InitSetting), 14},
      {"IsSupportDevice", SlotOf(&Device::IsSupportDevice), 15},
      {"GetChildVDevice", SlotOf(&Device::GetChildVDevice), 16},
      {"GetAllChildVDevices", SlotOf(&Device::GetAllChildVDevices), 17},
      {"SendSP", SlotOf(&Device::SendSP), 18},
      {"SendDelayData", SlotOf(&Device::SendDelayData), 19},
      {"SendDoData", SlotOf(&Device::SendDoData), 20},
      {"ReadDi", SlotOf(&Device::ReadDi), 21},
      {"ReadAi", SlotOf(&Device::ReadAi), 22},
      {"Get_SP_Value", SlotOf(&Device::Get_SP_Value), 23},
      {"process", SlotOf(&Device::process), 24},
      {"process_data", SlotOf(&Device::process_data), 25},
      {"OnConnected", SlotOf(&Device::OnConnected), 26},
      {"RefreshStatus", SlotOf(&Device::RefreshStatus), 27},
      {"StartSocket", SlotOf(&Device::StartSocket), 28},
      {"CloseSocket", SlotOf(&Device::CloseSocket), 29},
      {"SendSocketData(data)",
       SlotOf(static_cast<int (Device::*)(const unsigned char*, unsigned)>(&Device::SendSocketData)),
       30},
      {"SendSocketData(socket, data)",
       SlotOf(static_cast<int (Device::*)(int, const unsigned char*, unsigned)>(
           &Device::SendSocketData)),
       31},
      {"SendSocketData(buffers)",
       SlotOf(static_cast<int (Device::*)(const Buffers&)>(&Device::SendSocketData)), 32},
      {"SendSocketData(socket, buffers)",
       SlotOf(static_cast<int (Device::*)(int, const Buffers&)>(&Device::SendSocketData)), 33},
      {"RunCheckThreshold", SlotOf(&Device::RunCheckThreshold), 34},
  };
  for (const auto& row : rows) EXPECT_EQ(row.slot, row.expected) << row.name;
}

TEST(VirtualSlots, ProvidersKeepTheHostOrder) {
  EXPECT_EQ(SlotOf(&ZRMSocketDeviceProvider::create), 3);  // after the two destructor slots
}

}  // namespace
