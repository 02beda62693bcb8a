// SNMPv3 devices never wait on each other: a live SNMPv3 device beside ten whose agents never
// answer walks while they are all still waiting for their engine discovery, and deleting them
// returns without waiting for their time-outs.
#include <chrono>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "absent_agent.h"
#include "test_device.h"
#include "cabinet_agent.h"
#include "qiraoid_probe.h"
#include "standin_host.h"

namespace {

using absent_agent::BlackHole;

constexpr int kSilentAgents = 10;
const char kUser[] = "bob:SHA-256:bob-auth-22:AES:bob-priv-333";
const char kBobSettings[] = R"("snmp_version":"3","security_name":"bob","security_level":"authPriv",
    "auth_protocol":"SHA-256","auth_passphrase":"bob-auth-22","priv_protocol":"AES","priv_passphrase":"bob-priv-333")";

std::unique_ptr<QiraoidProbe> V3Device(unsigned id, const std::string& agent) {
  auto device = std::make_unique<QiraoidProbe>();
  InitHostSide(*device, id, R"({"agent":")" + agent + R"(","address":4})");
  return device;
}

TEST(Snmpv3Isolation, LiveDeviceWalksWhileSilentOnesDiscoverAndTheyStopAtOnce) {
  CabinetAgent agent({{4}, true, "qondel", {kUser}}, "4.1 1.5\n4.2 2.5\n");
  testing::internal::CaptureStdout();
  std::vector<std::unique_ptr<BlackHole>> holes;
  std::vector<std::unique_ptr<QiraoidProbe>> silent;
  for (int i = 0; i < kSilentAgents; ++i) {
    holes.push_back(std::make_unique<BlackHole>());
    silent.push_back(V3Device(100 + i, holes.back()->address()));
    // The default time-out and retries: each discovery waits 20 s for nothing.
    silent.back()->InitSetting(ParseJson(std::string(R"({"appSetting":{)") + kBobSettings + "}}"));
  }
  for (const auto& hole : holes) hole->AwaitDatagram();

  auto live = V3Device(12, agent.address());
  live->ReadAccess(ParseJson(std::string("{") + kBobSettings + "}"));
  const auto walk_start = std::chrono::steady_clock::now();
  for (int pass = 0; pass < 3; ++pass) live->do_sample();
  const auto walked = std::chrono::steady_clock::now() - walk_start;
  EXPECT_EQ(standin::PublishedOf(*live).size(), 3u);
  EXPECT_EQ(live->Column(2), 2.5f);

  const auto stop_start = std::chrono::steady_clock::now();
  silent.clear();
  const auto stopped = std::chrono::steady_clock::now() - stop_start;
  const std::string log = testing::internal::GetCapturedStdout();
  // Three passes and the stop, all before the silent devices' first exchange (20 s) ended: their
  // discovery held nothing the live device needed, and the stop did not wait for it.
  EXPECT_EQ(log.find("device 10"), std::string::npos) << log;
  std::cout << "three live passes: " << std::chrono::duration<double>(walked).count() << " s; ten silent devices "
            << "deleted in " << std::chrono::duration<double>(stopped).count() << " s\n";
}

}  // namespace
