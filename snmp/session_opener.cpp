#include "session_opener.h"

namespace qiraoid {

namespace {

class OpenSession final : public AgentExchange {
 public:
  explicit OpenSession(std::unique_ptr<SnmpSession> session) : session_(std::move(session)) {}
  SnmpSession::Exchange GetBulk(const oid* name, size_t name_length, RequestShape shape, int stop_fd) override {
    return session_->GetBulk(name, name_length, shape, stop_fd);
  }

 private:
  std::unique_ptr<SnmpSession> session_;
};

}  // namespace

std::unique_ptr<AgentExchange> NetSnmpOpener::Open(netsnmp_session& settings, const RetransmissionRule& rule,
                                                   AgentLink& link, std::string* failure) {
  auto session = std::make_unique<SnmpSession>(settings, rule, link);
  if (session->is_open()) return std::make_unique<OpenSession>(std::move(session));
  snmp_sess_perror("snmpbulkwalk", &settings);
  *failure = std::string("cannot open a session: ") + snmp_api_errstring(settings.s_snmp_errno);
  return nullptr;
}

}  // namespace qiraoid
