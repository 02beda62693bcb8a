#include "table_walk.h"

#include <algorithm>

#include "column_value.h"

namespace {

constexpr size_t kLastColumn = 1397;

// Why the bulk shape is given up, in an operator's words.
const char* BulkFailure(long error_status) {
  switch (error_status) {
    case SNMP_ERR_TOOBIG: return "the agent answered tooBig";
    case SNMP_ERR_GENERR: return "the agent answered genErr";
    default: return nullptr;
  }
}

}  // namespace

TableWalk::TableWalk(const oid* root, size_t root_length)
    : root_length_(std::min<size_t>(root_length, MAX_OID_LEN)) {
  std::copy(root, root + root_length_, root_);
}

TableWalk::End TableWalk::Run(RequestShape shape, WalkExchange& exchange, WalkSink& sink) {
  MoveTo(root_, root_length_);
  for (;;) {
    const SnmpSession::Exchange outcome = exchange.GetBulk(position_, position_length_, shape);
    if (outcome.outcome == SnmpSession::Outcome::kStopped) return End::kStopped;
    if (outcome.outcome == SnmpSession::Outcome::kFailed) return End::kAgentFault;
    if (outcome.outcome == SnmpSession::Outcome::kTimedOut) {
      if (shape.is_bulk()) {
        sink.FellBackFromBulk("no answer within the time-out and its retries");
        shape = kOneBindingShape;
      }
      continue;  // the same position, asked again
    }
    const netsnmp_pdu& answer = *outcome.response;
    if (const char* cause = shape.is_bulk() ? BulkFailure(answer.errstat) : nullptr) {
      sink.FellBackFromBulk(cause);
      shape = kOneBindingShape;
      continue;
    }
    if (answer.errstat != SNMP_ERR_NOERROR || answer.variables == nullptr) return End::kAgentFault;
    const Step step = TakeAnswer(answer);
    if (!columns_.empty()) sink.Store(columns_);
    if (step == Step::kFault) return End::kAgentFault;
    if (step == Step::kComplete) return End::kComplete;
  }
}

TableWalk::Step TableWalk::TakeAnswer(const netsnmp_pdu& answer) {
  columns_.clear();
  Step step = Step::kGoOn;
  for (const netsnmp_variable_list* variable = answer.variables; variable != nullptr;
       variable = variable->next_variable) {
    // Exceptions carry no value; endOfMibView repeats the requested OID and ends the view.
    if (variable->type == SNMP_ENDOFMIBVIEW) step = Step::kComplete;
    if (variable->type == SNMP_ENDOFMIBVIEW || variable->type == SNMP_NOSUCHOBJECT ||
        variable->type == SNMP_NOSUCHINSTANCE) {
      continue;
    }
    if (snmp_oid_compare(variable->name, variable->name_length, position_, position_length_) <= 0) {
      return Step::kFault;
    }
    MoveTo(variable->name, variable->name_length);
    if (!InRoot(*variable)) {
      step = Step::kComplete;
      continue;
    }
    if (variable->name_length == root_length_) continue;  // the root itself has no column
    const oid column = variable->name[root_length_];
    if (column >= 1 && column <= kLastColumn) columns_.emplace_back(column, ColumnValue(*variable));
  }
  return step;
}

bool TableWalk::InRoot(const netsnmp_variable_list& variable) const {
  return variable.name_length >= root_length_ && std::equal(root_, root_ + root_length_, variable.name);
}

void TableWalk::MoveTo(const oid* name, size_t name_length) {
  position_length_ = std::min<size_t>(name_length, MAX_OID_LEN);
  std::copy(name, name + position_length_, position_);
}
