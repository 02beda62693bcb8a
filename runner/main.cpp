// zrmhost: runs a device plug-in the way the monitoring host does, without the host.
#include <cstdio>
#include <exception>

#include "commands.h"
#include "line_output.h"
#include "options.h"
#include "runner_error.h"

namespace {

using qiraoid::Command;

int Dispatch(const qiraoid::Options& options) {
  switch (options.command) {
    case Command::kRun: return qiraoid::RunDevices(options);
    case Command::kReplay: return qiraoid::ReplayHistory(options);
    case Command::kDump: return qiraoid::DumpHistory(options);
    case Command::kCheck: return qiraoid::CheckConfig(options);
    case Command::kHelp: break;
  }
  std::fputs(options.help.c_str(), stdout);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Dispatch(qiraoid::ParseOptions(argc, argv));
  } catch (const qiraoid::UsageError& error) {
    qiraoid::Diagnose(error.what());
    qiraoid::Diagnose("run \"zrmhost --help\" for usage");
    return 2;
  } catch (const qiraoid::RunnerError& error) {
    qiraoid::Diagnose(error.what());
    return 1;
  } catch (const std::exception& error) {
    qiraoid::Diagnose(std::string("failed: ") + error.what());
    return 1;
  }
}
