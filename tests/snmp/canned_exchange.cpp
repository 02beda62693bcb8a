#include "canned_exchange.h"

namespace qiraoid {

SnmpSession::Exchange Answer(const std::vector<CannedBinding>& bindings, long error_status) {
  PduPtr pdu(snmp_pdu_create(SNMP_MSG_RESPONSE));
  pdu->errstat = error_status;
  for (const CannedBinding& binding : bindings) {
    const bool text = binding.type == ASN_OCTET_STR;
    snmp_pdu_add_variable(pdu.get(), binding.name.data(), binding.name.size(), binding.type,
                          text ? binding.text.data() : nullptr, text ? binding.text.size() : 0);
  }
  return {SnmpSession::Outcome::kAnswered, std::move(pdu)};
}

SnmpSession::Exchange Silence() { return {SnmpSession::Outcome::kTimedOut, nullptr}; }

SnmpSession::Exchange CannedExchange::GetBulk(const oid* name, size_t name_length, RequestShape shape) {
  requests_.push_back({Name(name, name + name_length), shape});
  if (outcomes_.empty()) return {SnmpSession::Outcome::kStopped, nullptr};
  SnmpSession::Exchange next = std::move(outcomes_.front());
  outcomes_.pop_front();
  return next;
}

}  // namespace qiraoid
