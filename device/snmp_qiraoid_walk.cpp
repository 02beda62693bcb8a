// The walk: GETBULK from the root 1.3.6.1.4.1.61333.1.1.A.0, continuing after the last OID
// received, storing column k of the answer's values in the record's value[k-1].
//
// How a pass ends:
// - complete (a round follows): an OID outside the root, or the agent's endOfMibView;
// - silent agent: the same position is asked again, for as long as the device runs;
// - agent fault (no round; the next pass comes 5 s later): an error status, an answer without
//   bindings, an OID that does not increase, or a request that could not be sent;
// - device stopping: at once, even while waiting for an answer.
#include <algorithm>

#include <boost/date_time/posix_time/posix_time_types.hpp>

#include "column_value.h"
#include "log_line.h"
#include "snmp_qiraoid.h"
#include "snmp_session.h"

void SNMP_QIRAOID::do_sample() {
  LogLine("SNMP_QIRAOID::do_sample");
  session_.peername = const_cast<char*>(peer_address_.c_str());
  root_oid_[9] = device_address_;
  root_oid_len_ = 11;
  if (peer_address_.empty()) return;

  SnmpSession session(session_);
  if (!session.is_open()) {
    snmp_sess_perror("snmpbulkwalk", &session_);
    return;
  }
  std::copy(root_oid_, root_oid_ + root_oid_len_, request_oid_);
  request_oid_len_ = root_oid_len_;

  for (;;) {
    {
      auto guard = GuardRecord();
      sample_time_ = boost::posix_time::second_clock::local_time();
    }
    SnmpSession::Exchange exchange = session.GetBulk(request_oid_, request_oid_len_, stop_.fd());
    if (exchange.outcome == SnmpSession::Outcome::kTimedOut) continue;
    if (exchange.outcome != SnmpSession::Outcome::kAnswered) return;
    const netsnmp_pdu& answer = *exchange.response;
    if (answer.errstat != SNMP_ERR_NOERROR || answer.variables == nullptr) return;
    const AnswerEnd end = StoreAnswer(answer);
    if (end == AnswerEnd::kAgentFault) return;
    if (end == AnswerEnd::kWalkComplete) break;
  }
  RoundDone();
}

// Stores the answer's columns and moves the request position to its last OID.
SNMP_QIRAOID::AnswerEnd SNMP_QIRAOID::StoreAnswer(const netsnmp_pdu& answer) {
  auto guard = GuardRecord();
  AnswerEnd end = AnswerEnd::kWalkGoesOn;
  for (const netsnmp_variable_list* variable = answer.variables; variable != nullptr;
       variable = variable->next_variable) {
    // Exceptions carry no value; endOfMibView repeats the requested OID and ends the view.
    if (variable->type == SNMP_ENDOFMIBVIEW) end = AnswerEnd::kWalkComplete;
    if (variable->type == SNMP_ENDOFMIBVIEW || variable->type == SNMP_NOSUCHOBJECT ||
        variable->type == SNMP_NOSUCHINSTANCE) {
      continue;
    }
    if (snmp_oid_compare(variable->name, variable->name_length, request_oid_, request_oid_len_) <= 0) {
      return AnswerEnd::kAgentFault;
    }
    std::copy(variable->name, variable->name + variable->name_length, request_oid_);
    request_oid_len_ = variable->name_length;
    if (!InRoot(*variable)) {
      end = AnswerEnd::kWalkComplete;
      continue;
    }
    if (variable->name_length == root_oid_len_) continue;  // the root itself has no column
    const oid column = variable->name[root_oid_len_];
    if (column >= 1 && column <= kQiraoidColumns) data_.value[column - 1] = ColumnValue(*variable);
  }
  return end;
}

bool SNMP_QIRAOID::InRoot(const netsnmp_variable_list& variable) const {
  return variable.name_length >= root_oid_len_ &&
         std::equal(root_oid_, root_oid_ + root_oid_len_, variable.name);
}
