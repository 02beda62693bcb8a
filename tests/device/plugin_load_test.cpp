// Loads snmp_qiraoid.so the way the host does and checks what it exports and leaves to the host.
#include <dlfcn.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "provider.h"
#include "standin_host.h"
#include "test_device.h"

namespace {

using GetProviders = std::vector<std::shared_ptr<Provider>> (*)();

class PluginLoadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    handle = dlopen(PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr) << dlerror();
    get_providers = reinterpret_cast<GetProviders>(dlsym(handle, "get_providers"));
    ASSERT_NE(get_providers, nullptr) << dlerror();
  }
  void TearDown() override {
    if (handle != nullptr) dlclose(handle);
  }
  void* handle = nullptr;
  GetProviders get_providers = nullptr;
};

TEST_F(PluginLoadTest, ProvidesOneProviderOfCabinetDevices) {
  auto providers = get_providers();
  ASSERT_EQ(providers.size(), 1u);
  EXPECT_NE(get_providers().at(0).get(), providers[0].get());  // a new provider every call
  auto* provider = dynamic_cast<ZRMSocketDeviceProvider*>(providers[0].get());
  ASSERT_NE(provider, nullptr);

  std::unique_ptr<ZRMSocketDevice> first(provider->create());
  std::unique_ptr<ZRMSocketDevice> second(provider->create());
  ASSERT_NE(first, nullptr);
  EXPECT_NE(first.get(), second.get());
  providers.clear();  // devices outlive the provider list
  EXPECT_EQ(first->DeviceType(), "snmp_qiraoid");

  // A device runs in the host: Init, InitSetting (its thread starts), a cache round, delete.
  testing::internal::CaptureStdout();
  first->Init({}, 12, ParseJson(R"({"appSetting":{"b_mode":"2"}})"));
  EXPECT_EQ(first->InitSetting(ParseJson(R"({"appSetting":{"b_mode":"2"}})")), 1);
  EXPECT_EQ(first->LoadFromCache(std::string(5599, '\0')), 1);
  first.reset();
  second.reset();
  const std::string log = testing::internal::GetCapturedStdout();
  EXPECT_NE(log.find("InitSetting 12 b_mode_:2"), std::string::npos);
  EXPECT_NE(log.find("rvSize is 0"), std::string::npos);
}

// The host's out-of-line operations come from the host process, never from the plug-in.
TEST(PluginSymbols, HostOperationsStayUndefined) {
  const std::string command = std::string("nm -D --defined-only ") + PLUGIN_PATH;
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string defined;
  char buffer[4096];
  while (fgets(buffer, sizeof buffer, pipe) != nullptr) defined += buffer;
  ASSERT_EQ(pclose(pipe), 0);
  EXPECT_NE(defined.find(" T get_providers\n"), std::string::npos);
  for (const char* host_symbol :
       {"_ZN10ZRMVDevice6SendSPEiPKhjb", "_ZN10ZRMVDevice18DoBatchCheckThresholdERKSt6vectorI10rule_valueSaIS1_EE",
        "_ZN10ZRMVDevice17SaveDeviceHistoryEPKhj", "_ZN10ZRMVDevice5ResetEv",
        "_ZN15ZRMSocketDeviceC2Ev", "_ZTV10ZRMVDevice", "_ZTV15ZRMSocketDevice",
        "_Z9get_ttimeN5boost10posix_time5ptimeE"}) {
    EXPECT_EQ(defined.find(host_symbol), std::string::npos) << host_symbol;
  }
}

}  // namespace
