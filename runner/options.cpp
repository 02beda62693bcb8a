#include "options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "runner_error.h"

namespace qiraoid {

const char kUsage[] =
    "usage:\n"
    "  zrmhost run --plugin PATH --config FILE [--json] [--rounds N] [--timeout S] [--history DIR]\n"
    "      Loads the plug-in, starts every device of FILE and prints each round and each alarm\n"
    "      change the host receives, until every device completed N rounds or SIGINT/SIGTERM.\n"
    "      --timeout S fails when a device completes no round within S seconds (without it, a\n"
    "      device silent for 30 s is only mentioned).\n"
    "      --history DIR appends every stored record to DIR/device-<id>.history.\n"
    "  zrmhost replay --plugin PATH --config FILE --history DIR [--json]\n"
    "      Feeds each device's stored records back through LoadFromCache and prints the rounds\n"
    "      and alarm changes that follow. The devices get no agent, so they never walk; each\n"
    "      replayed round carries the time of the replay, as the host stamps every round.\n"
    "  zrmhost dump FILE [--csv]\n"
    "      Prints the records of a history file: device id, time and the 1397 values.\n"
    "  zrmhost --help\n"
    "\n"
    "FILE is JSON: {\"devices\": [{\"id\": 12, \"agent\": \"udp:127.0.0.1:1161\", \"address\": 4,\n"
    "  \"appSetting\": {\"b_mode\": \"2\"}, \"thresholdSetting\": {...}}, ...]}; each device object is\n"
    "  handed to the device as its configuration.\n"
    "Output: one line per event on standard output (--json: one JSON object per line); the\n"
    "  plug-in's own log lines go to standard error.\n"
    "Exit status: 0 done, 1 bad input or failed run, 2 bad command line.\n";

namespace {

const char* CommandName(Command command) {
  switch (command) {
    case Command::kRun: return "run";
    case Command::kReplay: return "replay";
    case Command::kDump: return "dump";
    case Command::kHelp: break;
  }
  return "";
}

int PositiveInt(const std::string& flag, const std::string& text) {
  errno = 0;
  char* end = nullptr;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || errno != 0 || value < 1 || value > 1000000000) {
    throw UsageError(flag + " wants a whole number of at least 1, not \"" + text + "\"");
  }
  return static_cast<int>(value);
}

double PositiveSeconds(const std::string& flag, const std::string& text) {
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || !std::isfinite(value) || value <= 0 || value > 1e7) {
    throw UsageError(flag + " wants a number of seconds above 0, not \"" + text + "\"");
  }
  return value;
}

// Walks the arguments after the command, each "--flag value", "--flag=value" or a switch.
class ArgumentWalker {
 public:
  ArgumentWalker(Options& options, std::vector<std::string> args)
      : options_(options), args_(std::move(args)) {}

  void Walk() {
    for (index_ = 0; index_ < args_.size(); ++index_) Take(args_[index_]);
  }

 private:
  void Take(const std::string& arg) {
    const std::size_t equals = arg.find('=');
    const bool joined = arg.rfind("--", 0) == 0 && equals != std::string::npos;
    const std::string flag = joined ? arg.substr(0, equals) : arg;
    joined_value_ = joined ? std::optional<std::string>(arg.substr(equals + 1)) : std::nullopt;
    const Command command = options_.command;
    if (flag == "--help" || flag == "-h") {
      options_.command = Command::kHelp;
    } else if (flag == "--json" && command != Command::kDump) {
      options_.json = true;
    } else if (flag == "--csv" && command == Command::kDump) {
      options_.csv = true;
    } else if (flag == "--plugin" && command != Command::kDump) {
      options_.plugin = Value(flag);
    } else if (flag == "--config" && command != Command::kDump) {
      options_.config = Value(flag);
    } else if (flag == "--history" && command != Command::kDump) {
      options_.history = Value(flag);
    } else if (flag == "--rounds" && command == Command::kRun) {
      options_.rounds = PositiveInt(flag, Value(flag));
    } else if (flag == "--timeout" && command == Command::kRun) {
      options_.timeout_seconds = PositiveSeconds(flag, Value(flag));
    } else if (command == Command::kDump && arg.rfind("-", 0) != 0 && options_.dump_file.empty()) {
      options_.dump_file = arg;
    } else {
      throw UsageError(std::string("zrmhost ") + CommandName(command) + " does not take \"" + arg + "\"");
    }
    if (joined_value_ && !consumed_) {
      throw UsageError(flag + " takes no value");
    }
    consumed_ = false;
  }

  std::string Value(const std::string& flag) {
    consumed_ = true;
    if (joined_value_) return *joined_value_;
    if (index_ + 1 >= args_.size()) throw UsageError(flag + " wants a value");
    return args_[++index_];
  }

  Options& options_;
  std::vector<std::string> args_;
  std::size_t index_ = 0;
  std::optional<std::string> joined_value_;
  bool consumed_ = false;
};

void Require(bool present, Command command, const char* what) {
  if (!present) throw UsageError(std::string("zrmhost ") + CommandName(command) + " needs " + what);
}

void CheckComplete(const Options& options) {
  switch (options.command) {
    case Command::kRun:
    case Command::kReplay:
      Require(!options.plugin.empty(), options.command, "--plugin PATH");
      Require(!options.config.empty(), options.command, "--config FILE");
      if (options.command == Command::kReplay) {
        Require(!options.history.empty(), options.command, "--history DIR");
      }
      break;
    case Command::kDump:
      Require(!options.dump_file.empty(), options.command, "a history FILE");
      break;
    case Command::kHelp:
      break;
  }
}

}  // namespace

Options ParseOptions(int argc, const char* const* argv) {
  Options options;
  if (argc < 2) throw UsageError("no command given");
  const std::string command = argv[1];
  if (command == "--help" || command == "-h" || command == "help") return options;
  if (command == "run") {
    options.command = Command::kRun;
  } else if (command == "replay") {
    options.command = Command::kReplay;
  } else if (command == "dump") {
    options.command = Command::kDump;
  } else {
    throw UsageError("unknown command \"" + command + "\"");
  }
  ArgumentWalker(options, std::vector<std::string>(argv + 2, argv + argc)).Walk();
  CheckComplete(options);
  return options;
}

}  // namespace qiraoid
