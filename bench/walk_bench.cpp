// One full walk pass of the plug-in, configured in mode 2 (so its round reports the alarm signals),
// beside snmpbulkwalk, in both request shapes, against the same cabinet simulator behind a relay
// that delays every datagram by 1 ms each way (loopback alone hides the round trips), in one run. Ends with the ratios: wall time per pass, and CPU time per
// pass (the plug-in's sampling thread against the snmpbulkwalk process's).
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include <benchmark/benchmark.h>

#include "cabinet_agent.h"
#include "qiraoid_probe.h"
#include "standin_host.h"
#include "test_device.h"
#include "udp_relay.h"

namespace {

constexpr long kOneBinding = 0;  // the device's max_repetitions when none is configured

const UdpRelay& Link() {
  static CabinetAgent agent;
  static UdpRelay relay(agent.port(), {0.0, 0.0, std::chrono::milliseconds(1), 1});
  return relay;
}

// User and system CPU time of this thread, or of the finished children, in milliseconds.
struct CpuMs {
  double user;
  double system;
};

CpuMs Used(int who) {
  rusage usage{};
  getrusage(who, &usage);
  const auto ms = [](const timeval& t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
  return {ms(usage.ru_utime), ms(usage.ru_stime)};
}

void CountCpu(benchmark::State& state, CpuMs start, CpuMs end) {
  using benchmark::Counter;
  state.counters["cpu_ms"] = Counter(end.user + end.system - start.user - start.system, Counter::kAvgIterations);
  state.counters["sys_ms"] = Counter(end.system - start.system, Counter::kAvgIterations);
}

void PluginPass(benchmark::State& state) {
  standin::SetJournalKept(false);
  QiraoidProbe device;
  InitHostSide(device, 12, R"({"agent":")" + Link().address() + R"(","address":4})");
  // Configured as a device in mode 2 is, so each pass's round reports the alarm signals too.
  const std::string repetitions =
      state.range(0) == kOneBinding ? "" : R"(,"max_repetitions":)" + std::to_string(state.range(0));
  device.ReadSettings(ParseJson(R"({"appSetting":{"b_mode":"2")" + repetitions + "}}"));
  std::FILE* saved = stdout;
  stdout = std::fopen("/dev/null", "w");  // the pass's log lines are not what is measured
  const CpuMs start = Used(RUSAGE_THREAD);
  for (auto _ : state) device.do_sample();
  CountCpu(state, start, Used(RUSAGE_THREAD));
  std::fclose(stdout);
  stdout = saved;
}

// snmpbulkwalk loads no MIB and no configuration, as the plug-in loads none.
void SnmpBulkWalk(benchmark::State& state) {
  const std::string command = "MIBS= SNMPCONFPATH=/nonexistent snmpbulkwalk -v2c -c qondel -On -Cn" +
                              std::to_string(state.range(0)) + " -Cr100 " + Link().address() +
                              " 1.3.6.1.4.1.61333.1.1.4.0 >/dev/null";
  const CpuMs start = Used(RUSAGE_CHILDREN);
  for (auto _ : state) {
    if (std::system(command.c_str()) != 0) state.SkipWithError("snmpbulkwalk failed");
  }
  CountCpu(state, start, Used(RUSAGE_CHILDREN));
}

BENCHMARK(PluginPass)->Name("plugin/one_binding")->Arg(kOneBinding)->Unit(benchmark::kMillisecond)->MinTime(5)->UseRealTime();
BENCHMARK(SnmpBulkWalk)->Name("snmpbulkwalk/Cn1")->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(5)->UseRealTime();
BENCHMARK(PluginPass)->Name("plugin/bulk")->Arg(100)->Unit(benchmark::kMillisecond)->MinTime(2)->UseRealTime();
BENCHMARK(SnmpBulkWalk)->Name("snmpbulkwalk/Cn0")->Arg(0)->Unit(benchmark::kMillisecond)->MinTime(2)->UseRealTime();

// Keeps each benchmark's wall and CPU time per pass for the ratios printed at the end.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  struct Figures {
    double wall_ms;
    double cpu_ms;
  };
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "mean") continue;
      const std::string name = run.benchmark_name().substr(0, run.benchmark_name().find('/', run.benchmark_name().find('/') + 1));
      figures_[name] = {run.GetAdjustedRealTime(), run.counters.at("cpu_ms")};
    }
  }
  void PrintRatios() const {
    const auto line = [&](const char* what, const char* a, const char* b, bool cpu, const char* goal) {
      if (!figures_.count(a) || !figures_.count(b)) return;
      const Figures& x = figures_.at(a);
      const Figures& y = figures_.at(b);
      std::printf("%-44s %6.3fx   (goal %s)\n", what, cpu ? x.cpu_ms / y.cpu_ms : x.wall_ms / y.wall_ms, goal);
    };
    std::printf("\nratios, per pass:\n");
    line("wall: plug-in one-binding / snmpbulkwalk -Cn1", "plugin/one_binding", "snmpbulkwalk/Cn1", false, "<= 1.0");
    line("wall: plug-in bulk / snmpbulkwalk -Cn0", "plugin/bulk", "snmpbulkwalk/Cn0", false, "<= 1.0");
    line("wall: plug-in bulk / plug-in one-binding", "plugin/bulk", "plugin/one_binding", false, "<= 0.05");
    line("cpu: plug-in one-binding / snmpbulkwalk -Cn1", "plugin/one_binding", "snmpbulkwalk/Cn1", true, "<= 0.5");
    line("cpu: plug-in bulk / snmpbulkwalk -Cn0", "plugin/bulk", "snmpbulkwalk/Cn0", true, "<= 0.5");
  }

 private:
  std::map<std::string, Figures> figures_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}
