#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>

#include <signal.h>

#include "commands.h"
#include "diagnostics.h"
#include "host_session.h"
#include "line_output.h"
#include "plugin_log_tap.h"
#include "private_stdout.h"
#include "round_printer.h"
#include "runner_error.h"
#include "stop_signals.h"

namespace qiraoid {

namespace {

// Without --timeout a silent device is still mentioned, but the run goes on.
constexpr double kQuietWarningSeconds = 30;

void MakeDirectories(const std::string& path) {
  std::error_code error;
  std::filesystem::create_directories(path, error);
  if (error) throw RunnerError("cannot create history directory " + path + ": " + error.message());
  if (!std::filesystem::is_directory(path, error)) {
    throw RunnerError("history directory " + path + " is not a directory");
  }
}

std::string Seconds(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%g s", seconds);
  return text;
}

// Names the device's last failing cause when it told one.
std::string SilenceMessage(const RoundProgress::Wake& wake, const std::string& agent, double limit,
                           const std::optional<std::string>& cause) {
  std::string message = "device " + std::to_string(wake.device) + " (agent " + agent +
                        ") completed no round within " + Seconds(limit);
  if (wake.rounds > 0) message += " after its round " + std::to_string(wake.rounds);
  if (cause) return message + ": failing: " + *cause;
  if (wake.rounds == 0) return message + ": its agent is unreachable or does not answer";
  return message + ": its agent stopped answering or the device stalled";
}

class RunWatch {
 public:
  RunWatch(const std::vector<DeviceConfig>& configs, const Options& options)
      : fatal_(options.timeout_seconds.has_value()),
        limit_(options.timeout_seconds.value_or(kQuietWarningSeconds)) {
    for (const auto& config : configs) agents_[config.id] = config.agent;
  }

  std::chrono::steady_clock::duration limit() const {
    return std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double>(limit_));
  }

  // Waits for the end of the run and gives its exit status.
  int AwaitEnd(RoundProgress& progress, const PluginLogTap& log) const {
    for (;;) {
      const RoundProgress::Wake wake = progress.Wait();
      switch (wake.outcome) {
        case RoundProgress::Outcome::kGoalReached:
          return 0;
        case RoundProgress::Outcome::kStopped:
          Diagnose(std::string("stopping on ") + (wake.signal == SIGINT ? "SIGINT" : "SIGTERM"));
          return 0;
        case RoundProgress::Outcome::kStalled:
          Diagnose(SilenceMessage(wake, agents_.at(wake.device), limit_, log.LastCause(wake.device)) +
                   (fatal_ ? "; giving up" : "; still waiting"));
          if (fatal_) return 1;
          break;
      }
    }
  }

 private:
  bool fatal_;
  double limit_;
  std::map<uint32_t, std::string> agents_;
};

}  // namespace

int RunDevices(const Options& options) {
  const std::vector<DeviceConfig> configs = LoadRunConfig(options.config, AgentUse::kRequired);
  if (!options.history.empty()) MakeDirectories(options.history);
  const RunWatch watch(configs, options);

  LineOutput out(DivertStdoutToStderr());
  PluginLogTap log;
  RoundProgress progress(DeviceIds(configs), options.rounds, watch.limit());
  RoundPrinter printer(out, progress, options.json ? LineFormat::kJson : LineFormat::kText);
  StopSignals signals([&progress](int signal) { progress.RequestStop(signal); });
  standin::SetJournalKept(false);  // a run may last for days
  standin::SetHistoryDirectory(options.history);

  HostSession session(options.plugin, configs, printer);
  progress.RestartClock();  // loading and starting may be slow; the limit is for the rounds
  const int status = watch.AwaitEnd(progress, log);
  signals.Release();
  session.Stop();
  return status;
}

}  // namespace qiraoid
