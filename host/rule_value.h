// One threshold-rule hit, collected by the host in a device's rule list during a round.
#pragma once

#include <cstdint>
#include <string>

struct rule_value {
  int32_t rule_type = 0;
  std::string signal_id;
  std::string alarm_id;
  double value = 0.0;
  std::string text;
  std::string signal_name;
  int32_t signal_no = 0;
};
