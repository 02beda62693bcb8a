// A device given access settings it must refuse: one line naming the key, never a secret, and
// the settings it had are kept.
#include <optional>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "fake_agent.h"
#include "qiraoid_probe.h"
#include "test_device.h"

namespace qiraoid {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

// A refusal is one line naming the device and the key; the device keeps what it had, or, when it
// never had usable settings, does not poll at all.
TEST(AccessSettings, RefusalKeepsThePreviousSettingsAndShowsNoSecret) {
  FakeAgent agent([](const FakeRequest&) { return std::optional<FakeAnswer>(); });
  QiraoidProbe device;
  InitHostSide(device, 12, R"({"agent":")" + agent.address() + R"(","address":4})");
  testing::internal::CaptureStdout();
  device.ReadAccess(ParseJson(R"({"snmp_version":"3","security_name":"alice","security_level":"authNoPriv",
      "auth_protocol":"SHA","auth_passphrase":"secret!"})"));
  device.do_sample();
  EXPECT_EQ(agent.request_count(), 0u) << "never had usable settings: no polling";

  device.ReadAccess(ParseJson(R"({"community":"first-secret"})"));
  device.ReadAccess(ParseJson(R"({"community":"second-secret","retries":"many"})"));
  const std::string log = testing::internal::GetCapturedStdout();
  EXPECT_THAT(log, HasSubstr("device 12: access setting auth_passphrase refused"));
  EXPECT_THAT(log, HasSubstr("device 12: access setting retries refused"));
  EXPECT_THAT(log, HasSubstr("keeping the previous access settings"));
  EXPECT_THAT(log, Not(HasSubstr("secret")));
  const netsnmp_session session = device.TEST_poller().TEST_SessionTemplate();
  EXPECT_EQ(std::string(reinterpret_cast<char*>(session.community), session.community_len), "first-secret");
}

}  // namespace
}  // namespace qiraoid
