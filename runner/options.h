// The runner's command line, read by CLI11: one command and its options.
#pragma once

#include <optional>
#include <string>

namespace qiraoid {

enum class Command { kHelp, kRun, kReplay, kDump, kCheck };

struct Options {
  Command command = Command::kHelp;
  std::string help;           // kHelp: the help or version text to print
  std::string plugin;
  std::string config;
  std::string history;        // run: where to append records; replay: where to read them
  std::string dump_file;
  bool json = false;
  bool csv = false;
  std::optional<int> rounds;  // run: stop once every device completed this many
  std::optional<double> timeout_seconds;
  std::string metrics;        // run: HOST:PORT to serve /metrics on; empty for none
  std::string column_map;     // run --metrics, dump --csv, check: the operator's names for columns; empty for none
  std::string web_config;     // run: the page's TLS and users (exporters' web configuration); empty for none
};

// Throws UsageError naming what is wrong.
Options ParseOptions(int argc, const char* const* argv);

}  // namespace qiraoid
