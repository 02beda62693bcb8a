// A probe aimed at an agent with a short time-out, and one pass with its log lines captured:
// what the walk tests against scripted agents share.
#pragma once

#include <cstddef>
#include <string>

#include <gtest/gtest.h>

#include "qiraoid_probe.h"
#include "standin_host.h"
#include "test_device.h"

// Device 12 at address 4 of the agent; a 100 ms time-out, so silence costs milliseconds.
inline void AimProbe(QiraoidProbe& device, const std::string& agent_address, int retries) {
  InitHostSide(device, 12, R"({"agent":")" + agent_address + R"(","address":4})");
  device.ReadAccess(ParseJson(R"({"timeout_seconds":"0.1","retries":)" + std::to_string(retries) + "}"));
}

// Runs one pass, puts its log lines in *log, and returns how many rounds it completed.
inline size_t PassLogged(QiraoidProbe& device, std::string* log) {
  const size_t before = standin::PublishedOf(device).size();
  testing::internal::CaptureStdout();
  device.do_sample();
  *log = testing::internal::GetCapturedStdout();
  return standin::PublishedOf(device).size() - before;
}
