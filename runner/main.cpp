// zrmhost: runs a device plug-in the way the monitoring host does, without the host.
#include <cstdio>
#include <exception>

#include "commands.h"
#include "diagnostics.h"
#include "options.h"
#include "runner_error.h"

namespace {

int Dispatch(const Options& options) {
  switch (options.command) {
    case Command::kRun: return RunDevices(options);
    case Command::kReplay: return ReplayHistory(options);
    case Command::kDump: return DumpHistory(options);
    case Command::kHelp: break;
  }
  std::fputs(kUsage, stdout);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Dispatch(ParseOptions(argc, argv));
  } catch (const UsageError& error) {
    Diagnose(error.what());
    Diagnose("run \"zrmhost --help\" for usage");
    return 2;
  } catch (const RunnerError& error) {
    Diagnose(error.what());
    return 1;
  } catch (const std::exception& error) {
    Diagnose(std::string("failed: ") + error.what());
    return 1;
  }
}
