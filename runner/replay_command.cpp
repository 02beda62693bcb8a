#include <optional>
#include <vector>

#include "commands.h"
#include "config_problems.h"
#include "history_file.h"
#include "host_session.h"
#include "line_output.h"
#include "round_printer.h"
#include "termination_signals.h"

namespace qiraoid {

namespace {

std::vector<HistoryFile> OpenHistories(const std::string& directory,
                                       const std::vector<DeviceConfig>& configs) {
  std::vector<HistoryFile> files;
  for (const auto& config : configs) {
    files.push_back(HistoryFile::Open(directory + "/" + HistoryFileName(config.id)));
  }
  return files;
}

// Hands the device each whole record in turn; false when the device refused one.
bool Feed(ZRMSocketDevice& device, uint32_t id, HistoryFile& file, const RoundProgress& progress) {
  bool all_taken = true;
  std::string record;
  while (!progress.StopRequested() && file.Next(record)) {
    if (device.LoadFromCache(record) == 0) {
      Diagnose("device " + std::to_string(id) + " refused a record of " + file.path());
      all_taken = false;
    }
  }
  return all_taken;
}

}  // namespace

int ReplayHistory(const Options& options) {
  const std::optional<std::vector<DeviceConfig>> accepted = LoadAcceptedConfig(options.config, AgentUse::kDropped);
  if (!accepted) return 1;
  const std::vector<DeviceConfig>& configs = *accepted;
  std::vector<HistoryFile> files = OpenHistories(options.history, configs);

  LineOutput out(DivertStdoutToStderr());
  RoundProgress progress(DeviceIds(configs), std::nullopt, std::nullopt);
  RoundPrinter printer(out, progress, options.json ? LineFormat::kJson : LineFormat::kText);
  TerminationSignals signals([&progress](int signal) { progress.RequestStop(signal); });
  standin::SetJournalKept(false);

  HostSession session(options.plugin, configs, printer);
  int status = 0;
  for (std::size_t index = 0; index < configs.size(); ++index) {
    if (!Feed(session.device(index), configs[index].id, files[index], progress)) status = 1;
    if (files[index].torn_bytes() != 0) Diagnose(files[index].TornTailMessage());
  }
  if (progress.StopRequested()) Diagnose("replay stopped by a signal before its end");
  signals.Release();
  session.Stop();
  return status;
}

}  // namespace qiraoid
