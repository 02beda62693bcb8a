#include "session_opener.h"

namespace qiraoid {

std::unique_ptr<AgentExchange> NetSnmpOpener::Open(netsnmp_session& settings, const RetransmissionRule& rule,
                                                   AgentLink& link, int stop_fd, std::string* failure) {
  auto session = std::make_unique<SnmpSession>(settings, rule, link, stop_fd);
  if (session->is_open()) return session;
  snmp_sess_perror("snmpbulkwalk", &settings);
  *failure = std::string("cannot open a session: ") + snmp_api_errstring(settings.s_snmp_errno);
  return nullptr;
}

}  // namespace qiraoid
