// What the exporter cannot do, in one line for its user: an address it cannot listen on.
#pragma once

#include <stdexcept>

namespace qiraoid {

class ExporterError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace qiraoid
