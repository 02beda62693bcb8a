// The runner's commands; each returns the process's exit status and throws RunnerError on bad
// input.
#pragma once

#include "options.h"

namespace qiraoid {

int RunDevices(const Options& options);     // zrmhost run
int ReplayHistory(const Options& options);  // zrmhost replay
int DumpHistory(const Options& options);    // zrmhost dump
int CheckConfig(const Options& options);    // zrmhost check

}  // namespace qiraoid
