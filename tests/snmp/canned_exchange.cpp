#include "canned_exchange.h"

namespace qiraoid {

AgentExchange::Result Answer(const std::vector<CannedBinding>& bindings, long error_status) {
  PduPtr pdu(snmp_pdu_create(SNMP_MSG_RESPONSE));
  pdu->errstat = error_status;
  for (const CannedBinding& binding : bindings) {
    const bool text = binding.type == ASN_OCTET_STR;
    snmp_pdu_add_variable(pdu.get(), binding.name.data(), binding.name.size(), binding.type,
                          text ? binding.text.data() : nullptr, text ? binding.text.size() : 0);
  }
  return {AgentExchange::Outcome::kAnswered, std::move(pdu)};
}

AgentExchange::Result Silence() { return {AgentExchange::Outcome::kTimedOut, nullptr}; }

AgentExchange::Result CannedExchange::GetBulk(const oid* name, size_t name_length, RequestShape shape) {
  requests_.push_back({Name(name, name + name_length), shape});
  if (outcomes_.empty()) return {AgentExchange::Outcome::kStopped, nullptr};
  AgentExchange::Result next = std::move(outcomes_.front());
  outcomes_.pop_front();
  return next;
}

}  // namespace qiraoid
