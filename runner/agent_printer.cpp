#include "agent_printer.h"

#include "agent_event_line.h"

namespace qiraoid {

void AgentPrinter::OnAgentChange(const AgentChange& change) {
  if (progress_.Counting(change.device)) out_.Write(AgentEventLine(change, std::chrono::system_clock::now()));
}

}  // namespace qiraoid
