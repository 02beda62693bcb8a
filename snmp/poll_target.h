// PollTarget: what a poller asks of the device it polls for, and PassAim, where a pass goes. The
// poller calls the target on its polling thread only; the target guards its record itself.
#pragma once

#include <string>
#include <vector>

#include <boost/date_time/posix_time/posix_time_types.hpp>

#include "table_walk.h"

namespace qiraoid {

struct PassAim {
  unsigned device = 0;     // the device's id, at the start of its agent's lines
  std::string agent;       // the agent's address ("udp:..."); empty: the device is not aimed yet
  std::vector<oid> root;   // the table the pass walks
  oid last_column = 0;     // columns 1 to this one are stored
};

class PollTarget {
 public:
  virtual ~PollTarget() = default;
  // The local time, to the second, at which a request is about to be sent.
  virtual void StampSampleTime(const boost::posix_time::ptime& local_second) = 0;
  // One answer's columns, into the record.
  virtual void Store(const WalkSink::Columns& columns) = 0;
  // One line of the agent's, to write as the device writes its lines.
  virtual void Log(const std::string& line) = 0;
};

}  // namespace qiraoid
