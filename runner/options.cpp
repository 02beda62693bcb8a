#include "options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <utility>
#include <vector>

#include <CLI/CLI.hpp>

#include "listen_address.h"
#include "runner_error.h"
#include "web_config.h"

namespace qiraoid {

namespace {

const char kSynopsis[] =
    "usage:\n"
    "  zrmhost run --plugin PATH --config FILE [--json] [--rounds N] [--timeout S] [--history DIR]\n"
    "              [--metrics HOST:PORT [--web-config FILE]] [--column-map MAP]\n"
    "  zrmhost replay --plugin PATH --config FILE --history DIR [--json]\n"
    "  zrmhost dump FILE [--csv] [--column-map MAP]\n"
    "  zrmhost check --config FILE [--column-map MAP]\n"
    "  zrmhost [COMMAND] --help\n"
    "\n"
    "FILE is JSON: {\"devices\": [{\"id\": 12, \"agent\": \"udp:192.0.2.10:161\", \"address\": 4,\n"
    "  \"appSetting\": {\"b_mode\": \"2\"}, \"thresholdSetting\": {...}}, ...]}; each device object is\n"
    "  handed to the device as its configuration. At most 16 MB and 1024 devices; \"agent\" is\n"
    "  [udp:|tcp:|udp6:|tcp6:]host[:port], the host an IPv4 address, an IPv6 address in brackets\n"
    "  or a host name, the port 1-65535 (161 when absent).\n"
    "MAP is a column map, for run with --metrics and dump with --csv (check checks it): one line\n"
    "  per column, \"12 phase_voltage volts phase=L1\" (column, metric name, optional unit,\n"
    "  labels); '#' starts a comment.\n"
    "Output: one line per event on standard output (--json: one JSON object per line); the\n"
    "  plug-in's own log lines go to standard error.\n"
    "Exit status: 0 done, 1 bad input or failed run (check: a problem found), 2 bad command line.\n";

// "" for a whole number in 1-1000000000 written in decimal digits.
std::string WholeNumberProblem(const std::string& text) {
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || errno != 0 || value < 1 || value > 1000000000) {
    return "wants a whole number of at least 1, not \"" + text + "\"";
  }
  return "";
}

// "" for a finite number of seconds above 0 and at most 10^7.
std::string SecondsProblem(const std::string& text) {
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || !std::isfinite(value) || value <= 0 || value > 1e7) {
    return "wants a number of seconds above 0, not \"" + text + "\"";
  }
  return "";
}

void AddPluginOptions(CLI::App& command, Options& options) {
  command.add_option("--plugin", options.plugin, "the device plug-in (.so)")->required()->type_name("PATH");
  command.add_option("--config", options.config, "the devices, as JSON")->required()->type_name("FILE");
  command.add_flag("--json", options.json, "one JSON object per line")->disable_flag_override();
}

CLI::App* AddRun(CLI::App& app, Options& options) {
  CLI::App& run = *app.add_subcommand(
      "run", "Loads the plug-in, starts every device of FILE and prints each round and each alarm\n"
             "change the host receives, until every device completed N rounds or SIGINT/SIGTERM.");
  AddPluginOptions(run, options);
  run.add_option("--rounds", options.rounds, "stop once every device completed N rounds")
      ->type_name("N")->check(CLI::Validator(WholeNumberProblem, ""));
  run.add_option("--timeout", options.timeout_seconds,
                 "fail when a device completes no round within S seconds (without it, a device "
                 "silent for 30 s is only mentioned)")
      ->type_name("S")->check(CLI::Validator(SecondsProblem, ""));
  run.add_option("--history", options.history, "append every stored record to DIR/device-<id>.history")
      ->type_name("DIR");
  CLI::Option* metrics =
      run.add_option("--metrics", options.metrics,
                     "serve the devices' values, alarms and figures for Prometheus at http://HOST:PORT/metrics")
          ->type_name("HOST:PORT")->check(CLI::Validator(ListenAddressProblem, ""));
  run.add_option("--column-map", options.column_map, "serve the columns MAP names under its metric names too")
      ->type_name("MAP")->needs(metrics);
  run.add_option("--web-config", options.web_config,
                 "serve the page over HTTPS and/or to known users only, as this web configuration of "
                 "Prometheus exporters says (" + WebConfigKeys() + ")")
      ->type_name("FILE")->needs(metrics);
  return &run;
}

CLI::App* AddReplay(CLI::App& app, Options& options) {
  CLI::App& replay = *app.add_subcommand(
      "replay", "Feeds each device's stored records back through LoadFromCache and prints the\n"
                "rounds and alarm changes that follow. The devices get no agent, so they never walk;\n"
                "each replayed round carries the time of the replay, as the host stamps every round.");
  AddPluginOptions(replay, options);
  replay.add_option("--history", options.history, "where run --history stored the records")
      ->required()->type_name("DIR");
  return &replay;
}

CLI::App* AddDump(CLI::App& app, Options& options) {
  CLI::App& dump = *app.add_subcommand(
      "dump", "Prints the records of a history file: device id, time and the 1397 values.");
  dump.add_option("FILE", options.dump_file, "a history file")->required();
  CLI::Option* csv =
      dump.add_flag("--csv", options.csv, "spreadsheet rows instead of text")->disable_flag_override();
  dump.add_option("--column-map", options.column_map, "head the columns MAP names with their series")
      ->type_name("MAP")->needs(csv);
  return &dump;
}

CLI::App* AddCheck(CLI::App& app, Options& options) {
  CLI::App& check = *app.add_subcommand(
      "check", "Lists every problem of FILE: the runner's keys and every setting the plug-in reads,\n"
               "without loading the plug-in or polling. Exit status 0 when there is none, 1 otherwise.");
  check.add_option("--config", options.config, "the devices, as JSON")->required()->type_name("FILE");
  check.add_option("--column-map", options.column_map, "a column map, checked as run and dump read it")
      ->type_name("MAP");
  return &check;
}

// What was wrong, in the context of the command the words chose: "run: --plugin is required".
// CLI11 calls a word that is no command an unexpected argument; the user meant it as a command.
UsageError Refusal(CLI::App& app, const CLI::ParseError& error, int argc, const char* const* argv) {
  const auto chosen = app.get_subcommands();
  if (!chosen.empty()) return UsageError(chosen.front()->get_name() + ": " + error.what());
  if (argc > 1 && argv[1][0] != '-') {
    return UsageError(std::string("unknown command \"") + argv[1] + "\" (commands: run, replay, dump, check)");
  }
  return UsageError(error.what());
}

}  // namespace

Options ParseOptions(int argc, const char* const* argv) {
  Options options;
  CLI::App app("zrmhost: runs a device plug-in the way the monitoring host does, without the host.",
               "zrmhost");
  app.footer(kSynopsis);
  app.set_version_flag("--version", std::string("zrmhost ") + QIRAOID_VERSION, "print the version and exit");
  app.require_subcommand(1);
  const std::pair<const CLI::App*, Command> commands[] = {
      {AddRun(app, options), Command::kRun},
      {AddReplay(app, options), Command::kReplay},
      {AddDump(app, options), Command::kDump},
      {AddCheck(app, options), Command::kCheck}};
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    options.help = app.help();
    return options;
  } catch (const CLI::CallForVersion& version) {
    options.help = std::string(version.what()) + "\n";
    return options;
  } catch (const CLI::ParseError& error) {
    throw Refusal(app, error, argc, argv);
  }
  for (const auto& [command, name] : commands) {
    if (command->parsed()) options.command = name;
  }
  return options;
}

}  // namespace qiraoid
