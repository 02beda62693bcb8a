// The plug-in's walk pass on a lossy link: the cabinet simulator behind a relay that delays every
// datagram by 1 ms each way and loses 0 %, 1 % or 5 % of them each way, in both request shapes,
// with the default access settings (AccessSettings, snmp/access_settings.h). Ends with
// each lossy pass's wall time against the loss-free pass of its shape, and how many times a
// device gave the bulk shape up.
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include <benchmark/benchmark.h>

#include "qiraoid_probe.h"
#include "test_device.h"
#include "cabinet_agent.h"
#include "standin_host.h"
#include "udp_relay.h"

namespace {

constexpr long kOneBinding = 0;  // the device's max_repetitions when none is configured

const CabinetAgent& Agent() {
  static CabinetAgent agent;
  return agent;
}

// One relay per loss rate, each with its own seed so the two shapes meet different losses.
const UdpRelay& Link(int loss_percent) {
  static std::map<int, std::unique_ptr<UdpRelay>> relays;
  auto& relay = relays[loss_percent];
  if (!relay) {
    relay = std::make_unique<UdpRelay>(
        Agent().port(), LinkFaults{loss_percent / 100.0, 0.0, std::chrono::milliseconds(1), 7u + loss_percent});
  }
  return *relay;
}

// range(0): max_repetitions; range(1): loss in percent each way.
void LossyPass(benchmark::State& state) {
  standin::SetJournalKept(false);
  // A device that gave the bulk shape up is replaced, to measure the bulk shape, not the rest after
  // a refusal.
  std::unique_ptr<QiraoidProbe> device;
  const auto fresh_device = [&] {
    device = std::make_unique<QiraoidProbe>();
    InitHostSide(*device, 12, R"({"agent":")" + Link(state.range(1)).address() + R"(","address":4})");
    device->AskForRepetitions(state.range(0));
  };
  fresh_device();
  std::FILE* saved = stdout;
  stdout = std::fopen("/dev/null", "w");  // the pass's log lines are not what is measured
  struct RoundCounter : standin::HostListener {
    int rounds = 0;
    void OnPublished(ZRMVDevice&, const std::string&) override { ++rounds; }
  } counter;
  standin::SetListener(&counter);
  int bulk_given_up = 0;
  for (auto _ : state) {
    device->do_sample();
    if (device->DriverFigures().last_pass.bulk_give_ups > 0) {
      ++bulk_given_up;
      state.PauseTiming();
      fresh_device();
      state.ResumeTiming();
    }
  }
  std::fclose(stdout);
  stdout = saved;
  standin::SetListener(nullptr);
  state.counters["rounds"] = counter.rounds;
  state.counters["bulk_given_up"] = bulk_given_up;
}

BENCHMARK(LossyPass)->Name("one_binding/loss_0")->Args({kOneBinding, 0})->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(LossyPass)->Name("one_binding/loss_1")->Args({kOneBinding, 1})->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(LossyPass)->Name("one_binding/loss_5")->Args({kOneBinding, 5})->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(LossyPass)->Name("bulk/loss_0")->Args({100, 0})->Iterations(100)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(LossyPass)->Name("bulk/loss_1")->Args({100, 1})->Iterations(100)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(LossyPass)->Name("bulk/loss_5")->Args({100, 5})->Iterations(100)->Unit(benchmark::kMillisecond)->UseRealTime();

// Keeps each benchmark's wall time per pass for the ratios printed at the end.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      const std::string& full = run.benchmark_name();  // "bulk/loss_5/100/5/iterations:100/real_time"
      const std::string name = full.substr(0, full.find('/', full.find('/') + 1));
      wall_ms_[name] = run.GetAdjustedRealTime();
      given_up_[name] = run.counters.at("bulk_given_up");
    }
  }
  void PrintRatios() const {
    const auto line = [&](const char* lossy, const char* clean, const char* goal) {
      if (!wall_ms_.count(lossy) || !wall_ms_.count(clean)) return;
      std::printf("%-32s %6.3fx   (goal %s; bulk shape given up %g times)\n", lossy,
                  wall_ms_.at(lossy) / wall_ms_.at(clean), goal, given_up_.at(lossy));
    };
    std::printf("\nwall time per pass against the loss-free pass of the same shape:\n");
    line("one_binding/loss_1", "one_binding/loss_0", "<= 2.0");
    line("one_binding/loss_5", "one_binding/loss_0", "none");
    line("bulk/loss_1", "bulk/loss_0", "none");
    line("bulk/loss_5", "bulk/loss_0", "<= 1.5, never given up");
  }

 private:
  std::map<std::string, double> wall_ms_;
  std::map<std::string, double> given_up_;
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
