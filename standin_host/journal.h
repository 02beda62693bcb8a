// What the stand-in host remembers of each device: its calls, its records, its signal states.
#pragma once

#include <string>
#include <vector>

#include "standin_host.h"

namespace standin {

void Journal(const ZRMVDevice* device, std::string name, std::vector<std::string> args = {});
// Whether Journal keeps calls: a call made for every signal of every round skips building its
// arguments when not.
bool JournalKept();
void KeepPublished(ZRMVDevice& device, std::string record);
void KeepHistory(const ZRMVDevice& device, uint32_t device_id, std::string record);
// Returns true when the signal's state differs from the one last reported.
bool ChangeSignalState(const ZRMVDevice& device, const std::string& signal_id, bool state);
void AnnounceAlarm(ZRMVDevice& device, const AlarmTransition& transition);
void AnnounceSignal(ZRMVDevice& device, const SignalReport& state);
void ForgetDevice(const ZRMVDevice& device);

}  // namespace standin
