#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>

#include <signal.h>

#include "column_map_problems.h"
#include "agent_printer.h"
#include "commands.h"
#include "config_problems.h"
#include "history_store.h"
#include "host_session.h"
#include "line_output.h"
#include "metrics_run.h"
#include "round_printer.h"
#include "runner_error.h"
#include "termination_signals.h"
#include "web_config.h"

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

// The page's guard from --web-config (none without it); when the file has problems, each is told
// and nothing is returned.
std::optional<WebGuard> LoadWebGuard(const std::string& path) {
  WebGuard guard;
  if (path.empty()) return guard;
  const std::vector<std::string> problems = ReadWebConfig(path, "zrmhost", &guard);
  for (const std::string& problem : problems) Diagnose("web configuration " + path + ": " + problem);
  if (!problems.empty()) return std::nullopt;
  return guard;
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
    for (std::size_t index = 0; index < configs.size(); ++index) {
      agents_[configs[index].id] = configs[index].agent;
      indexes_[configs[index].id] = index;
    }
  }

  std::chrono::steady_clock::duration limit() const {
    return std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double>(limit_));
  }

  // Waits for the end of the run and gives its exit status.
  int AwaitEnd(RoundProgress& progress, HostSession& session, const DriverLink& driver) const {
    for (;;) {
      const RoundProgress::Wake wake = progress.Wait();
      switch (wake.outcome) {
        case RoundProgress::Outcome::kGoalReached:
          return 0;
        case RoundProgress::Outcome::kStopped:
          Diagnose(std::string("stopping on ") + (wake.signal == SIGINT ? "SIGINT" : "SIGTERM"));
          return 0;
        case RoundProgress::Outcome::kStalled:
          Diagnose(SilenceMessage(wake, agents_.at(wake.device), limit_,
                                  FailingCause(session, driver, wake.device)) +
                   (fatal_ ? "; giving up" : "; still waiting"));
          if (fatal_) return 1;
          break;
      }
    }
  }

 private:
  // The cause the device's last line gave while its agent is failing, from the plug-in's figures.
  std::optional<std::string> FailingCause(HostSession& session, const DriverLink& driver,
                                          uint32_t device) const {
    const std::optional<DriverFigures> figures = driver.Figures(session.device(indexes_.at(device)));
    if (!figures || figures->agent != AgentState::kFailing) return std::nullopt;
    return figures->cause;
  }

  bool fatal_;
  double limit_;
  std::map<uint32_t, std::string> agents_;
  std::map<uint32_t, std::size_t> indexes_;  // the device's place in the session
};

}  // namespace

int RunDevices(const Options& options) {
  const std::optional<std::vector<DeviceConfig>> accepted = LoadAcceptedConfig(options.config, AgentUse::kRequired);
  const std::optional<ColumnMap> columns = LoadAcceptedColumnMap(options.column_map);
  std::optional<WebGuard> guard = LoadWebGuard(options.web_config);
  if (!accepted || !columns || !guard) return 1;
  const std::vector<DeviceConfig>& configs = *accepted;
  std::optional<HistoryStore> history;
  if (!options.history.empty()) {
    MakeDirectories(options.history);
    history.emplace(options.history, configs);
  }
  const RunWatch watch(configs, options);

  LineOutput out(DivertStdoutToStderr());
  RoundProgress progress(DeviceIds(configs), options.rounds, watch.limit());
  DriverLink driver;
  RoundPrinter printer(out, progress, options.json ? LineFormat::kJson : LineFormat::kText, &driver);
  AgentPrinter agents(out, progress);
  std::optional<MetricsRun> metrics;
  if (!options.metrics.empty()) metrics.emplace(options.metrics, std::move(*guard), configs, *columns, printer);
  TerminationSignals signals([&progress](int signal) { progress.RequestStop(signal); });
  standin::SetJournalKept(false);  // a run may last for days

  HostSession session(options.plugin, configs, metrics ? metrics->listener() : printer, &driver,
                      options.json ? &agents : nullptr);
  if (metrics) Diagnose("serving metrics at " + metrics->Serve(session, driver));
  progress.RestartClock();  // loading and starting may be slow; the limit is for the rounds
  const int status = watch.AwaitEnd(progress, session, driver);
  signals.Release();
  if (metrics) metrics->EndServing();  // before the devices it reads are deleted
  session.Stop();  // the printer and the store hear the devices' rounds until then
  return status;
}

}  // namespace qiraoid
