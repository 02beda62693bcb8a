// A change of an alarm signal's state as the stand-in host tells it: a type of its own, so that
// code that only prints transitions needs no stand-in library.
#pragma once

#include <string>

namespace standin {

struct AlarmTransition {
  unsigned short signal_no;
  std::string signal_id;
  std::string signal_name;
  bool active;
};

}  // namespace standin
