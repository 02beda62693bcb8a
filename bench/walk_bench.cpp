// One full walk pass of the plug-in beside snmpbulkwalk with the same request shape
// (-Cn1 -Cr100), against the same local cabinet simulator, in one run.
#include <cstdlib>
#include <string>

#include <benchmark/benchmark.h>

#include "../tests/host/test_device.h"
#include "cabinet_agent.h"
#include "snmp_qiraoid.h"
#include "standin_host.h"

namespace {

CabinetAgent& Agent() {
  static CabinetAgent agent;
  return agent;
}

void PluginPass(benchmark::State& state) {
  standin::SetJournalKept(false);
  SNMP_QIRAOID device;
  InitHostSide(device, 12, R"({"agent":")" + Agent().address() + R"(","address":4})");
  std::FILE* saved = stdout;
  stdout = std::fopen("/dev/null", "w");  // the pass's log lines are not what is measured
  for (auto _ : state) device.do_sample();
  std::fclose(stdout);
  stdout = saved;
}

void SnmpBulkWalk(benchmark::State& state) {
  const std::string command = "snmpbulkwalk -v2c -c qondel -Cn1 -Cr100 -On " + Agent().address() +
                              " 1.3.6.1.4.1.61333.1.1.4.0 >/dev/null";
  for (auto _ : state) {
    if (std::system(command.c_str()) != 0) state.SkipWithError("snmpbulkwalk failed");
  }
}

BENCHMARK(PluginPass)->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(SnmpBulkWalk)->Unit(benchmark::kMillisecond)->MinTime(3);

}  // namespace

BENCHMARK_MAIN();
