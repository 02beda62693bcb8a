// SessionOpener: how a poller opens the session of a pass, and AgentExchange, what it does with
// one: the real opener opens an SnmpSession, tests script the agent's answers instead. A session
// is opened and used by the polling thread only; NetSnmpOpener is stateless and serves all pollers.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "retransmission_timer.h"
#include "snmp_session.h"

namespace qiraoid {

class AgentExchange {
 public:
  virtual ~AgentExchange() = default;
  // One GETBULK in the given shape and its outcome, as SnmpSession::GetBulk.
  virtual SnmpSession::Exchange GetBulk(const oid* name, size_t name_length, RequestShape shape, int stop_fd) = 0;
};

class SessionOpener {
 public:
  virtual ~SessionOpener() = default;
  // A session from the template, keeping what it learns of the agent in `link` (which outlives
  // it); null when it cannot be opened, *failure then saying why in an operator's words.
  virtual std::unique_ptr<AgentExchange> Open(netsnmp_session& settings, const RetransmissionRule& rule,
                                              AgentLink& link, std::string* failure) = 0;
};

// Opens Net-SNMP sessions; a session that cannot be opened is also reported through the library's
// own log, as snmpbulkwalk reports it.
class NetSnmpOpener final : public SessionOpener {
 public:
  std::unique_ptr<AgentExchange> Open(netsnmp_session& settings, const RetransmissionRule& rule, AgentLink& link,
                                      std::string* failure) override;
};

}  // namespace qiraoid
