// SessionOpener: how a poller opens the AgentExchange of a pass: the real opener opens an
// SnmpSession, tests script the agent's answers instead. A session is opened and used by the
// polling thread only; NetSnmpOpener is stateless and serves all pollers.
#pragma once

#include <memory>
#include <string>

#include "agent_exchange.h"
#include "retransmission_timer.h"
#include "snmp_session.h"

namespace qiraoid {

class SessionOpener {
 public:
  virtual ~SessionOpener() = default;
  // A session from the template, keeping what it learns of the agent in `link` (which outlives
  // it), its exchanges stopped once `stop_fd` is readable; null when it cannot be opened,
  // *failure then saying why in an operator's words.
  virtual std::unique_ptr<AgentExchange> Open(netsnmp_session& settings, const RetransmissionRule& rule,
                                              AgentLink& link, int stop_fd, std::string* failure) = 0;
};

// Opens Net-SNMP sessions; a session that cannot be opened is also reported through the library's
// own log, as snmpbulkwalk reports it.
class NetSnmpOpener final : public SessionOpener {
 public:
  std::unique_ptr<AgentExchange> Open(netsnmp_session& settings, const RetransmissionRule& rule, AgentLink& link,
                                      int stop_fd, std::string* failure) override;
};

}  // namespace qiraoid
