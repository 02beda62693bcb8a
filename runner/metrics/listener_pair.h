// Two host listeners told the same, first the one, then the other.
// Threads: every call comes from a device's own round thread, several devices at once; the pair
// holds no state of its own, so each of the two must be safe to call that way.
#pragma once

#include "standin_host.h"

namespace qiraoid {

class ListenerPair : public standin::HostListener {
 public:
  ListenerPair(standin::HostListener& first, standin::HostListener& second) : first_(first), second_(second) {}

  void OnPublished(ZRMVDevice& device, const std::string& record) override {
    first_.OnPublished(device, record);
    second_.OnPublished(device, record);
  }
  void OnAlarm(ZRMVDevice& device, const standin::AlarmTransition& transition) override {
    first_.OnAlarm(device, transition);
    second_.OnAlarm(device, transition);
  }
  void OnSignal(ZRMVDevice& device, const standin::SignalReport& state) override {
    first_.OnSignal(device, state);
    second_.OnSignal(device, state);
  }

 private:
  standin::HostListener& first_;
  standin::HostListener& second_;
};

}  // namespace qiraoid
