#include "table_walk.h"

#include <algorithm>
#include <iterator>
#include <string>

#include "column_value.h"

namespace qiraoid {

namespace {

// Why a bulk request may be refused, to be checked with one binding at the same position.
const char* RefusalToCheck(const AgentExchange::Result& bulk) {
  if (bulk.outcome == AgentExchange::Outcome::kTimedOut) {
    return "no answer to the bulk shape within the time-out and its retries, twice, while one binding at the "
           "same position is answered";
  }
  if (bulk.outcome == AgentExchange::Outcome::kAnswered && bulk.response->errstat == SNMP_ERR_GENERR) {
    return "the agent answered genErr to the bulk shape, and one binding at the same position";
  }
  return nullptr;
}

bool AnsweredWithoutError(const AgentExchange::Result& result) {
  return result.outcome == AgentExchange::Outcome::kAnswered && result.response->errstat == SNMP_ERR_NOERROR;
}

bool IsTooBig(const AgentExchange::Result& result) {
  return result.outcome == AgentExchange::Outcome::kAnswered && result.response->errstat == SNMP_ERR_TOOBIG;
}

// The names RFC 3416 gives the error statuses.
std::string ErrorStatusName(long status) {
  static const char* const kNames[] = {
      "noError",      "tooBig",      "noSuchName",         "badValue",      "readOnly",
      "genErr",       "noAccess",    "wrongType",          "wrongLength",   "wrongEncoding",
      "wrongValue",   "noCreation",  "inconsistentValue",  "resourceUnavailable",
      "commitFailed", "undoFailed",  "authorizationError", "notWritable",   "inconsistentName"};
  return status >= 0 && status < static_cast<long>(std::size(kNames)) ? kNames[status] : "unknown";
}

std::string OidText(const oid* name, size_t length) {
  std::string text;
  for (size_t i = 0; i < length; ++i) text += (i ? "." : "") + std::to_string(name[i]);
  return text;
}

}  // namespace

TableWalk::TableWalk(const oid* root, size_t root_length, oid last_column)
    : root_length_(std::min<size_t>(root_length, MAX_OID_LEN)), last_table_column_(last_column) {
  std::copy(root, root + root_length_, root_);
}

TableWalk::Result TableWalk::Run(RequestShape shape, AgentExchange& exchange, WalkSink& sink) {
  MoveTo(root_, root_length_);
  last_column_ = 0;
  bool stored = false;
  // A bulk request was silent while one binding right after was answered, and no bulk request has
  // been answered since: once may be an agent that came back meanwhile, twice is refusal.
  bool silent_to_bulk = false;
  for (;;) {
    AgentExchange::Result outcome = exchange.GetBulk(position_, position_length_, shape);
    if (shape.is_bulk() && IsTooBig(outcome)) {
      if (shape.repetitions > 1) {
        shape.repetitions /= 2;
      } else {
        sink.FellBackFromBulk("the agent answered tooBig to one repetition");
        shape = kOneBindingShape;
      }
      continue;  // the same position, in the smaller shape
    }
    if (const char* cause = shape.is_bulk() ? RefusalToCheck(outcome) : nullptr) {
      // One binding at the same position, right after: silent too, the agent is away.
      const bool silence = outcome.outcome == AgentExchange::Outcome::kTimedOut;
      outcome = exchange.GetBulk(position_, position_length_, kOneBindingShape);
      if (AnsweredWithoutError(outcome)) {
        if (!silence || silent_to_bulk) {
          sink.FellBackFromBulk(cause);
          shape = kOneBindingShape;
        }
        silent_to_bulk = silence;
      }
    } else if (AnsweredWithoutError(outcome)) {
      silent_to_bulk = false;
    }
    switch (outcome.outcome) {
      case AgentExchange::Outcome::kStopped: return {End::kStopped, {}, last_column_};
      case AgentExchange::Outcome::kFailed:
      case AgentExchange::Outcome::kRefused: return Fault(std::move(outcome.failure));
      case AgentExchange::Outcome::kTimedOut:
      case AgentExchange::Outcome::kUndecodable: continue;  // the same position, asked again
      case AgentExchange::Outcome::kAnswered: break;
    }
    const netsnmp_pdu& answer = *outcome.response;
    if (answer.errstat != SNMP_ERR_NOERROR) return Fault(ErrorStatusFault(answer));
    if (answer.variables == nullptr) {
      return Fault("an answer without bindings after OID " + OidText(position_, position_length_));
    }
    std::string fault;
    const Step step = TakeAnswer(answer, &fault);
    if (!columns_.empty()) sink.Store(columns_);
    stored = stored || !columns_.empty();
    if (step == Step::kFault) return Fault(std::move(fault));
    if (step == Step::kComplete && !stored) {
      return Fault("the agent has no table at OID " + OidText(root_, root_length_));
    }
    if (step == Step::kComplete) return {End::kComplete, {}, last_column_};
  }
}

// "error status 5 (genErr) at OID X": X names the binding the error index points at, or the
// position asked for when the index points at none.
std::string TableWalk::ErrorStatusFault(const netsnmp_pdu& answer) const {
  const netsnmp_variable_list* named = answer.variables;
  for (long i = 1; named != nullptr && i < answer.errindex; ++i) named = named->next_variable;
  const bool indexed = answer.errindex >= 1 && named != nullptr;
  return "error status " + std::to_string(answer.errstat) + " (" + ErrorStatusName(answer.errstat) +
         ") at OID " +
         (indexed ? OidText(named->name, named->name_length) : OidText(position_, position_length_));
}

TableWalk::Step TableWalk::TakeAnswer(const netsnmp_pdu& answer, std::string* fault) {
  columns_.clear();
  // Each binding must follow the one before, the first the position asked after; the position
  // moves once, to the last binding taken.
  const oid* after = position_;
  size_t after_length = position_length_;
  const Step step = TakeBindings(answer, &after, &after_length, fault);
  if (after != position_) MoveTo(after, after_length);
  return step;
}

TableWalk::Step TableWalk::TakeBindings(const netsnmp_pdu& answer, const oid** after,
                                        size_t* after_length, std::string* fault) {
  Step step = Step::kGoOn;
  bool moved = false;
  for (const netsnmp_variable_list* variable = answer.variables; variable != nullptr;
       variable = variable->next_variable) {
    // Exceptions carry no value; endOfMibView repeats the requested OID and ends the view.
    if (variable->type == SNMP_ENDOFMIBVIEW) step = Step::kComplete;
    if (variable->type == SNMP_ENDOFMIBVIEW || variable->type == SNMP_NOSUCHOBJECT ||
        variable->type == SNMP_NOSUCHINSTANCE) {
      continue;
    }
    const size_t name_length = std::min<size_t>(variable->name_length, MAX_OID_LEN);
    if (!std::lexicographical_compare(*after, *after + *after_length, variable->name,
                                      variable->name + name_length)) {
      *fault = "OID " + OidText(variable->name, variable->name_length) + " does not follow OID " +
               OidText(*after, *after_length);
      return Step::kFault;
    }
    *after = variable->name;
    *after_length = name_length;
    moved = true;
    if (!InRoot(*variable)) {
      step = Step::kComplete;
      continue;
    }
    if (variable->name_length == root_length_) continue;  // the root itself has no column
    const oid column = variable->name[root_length_];
    if (column >= 1 && column <= last_table_column_) {
      columns_.emplace_back(column, ColumnValue(*variable));
      last_column_ = std::max(last_column_, column);
    }
  }
  // Only exceptions, and none that ends the view: asking again would get the same answer forever.
  if (step == Step::kGoOn && !moved) {
    *fault = "an answer of exceptions only after OID " + OidText(*after, *after_length);
    return Step::kFault;
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

}  // namespace qiraoid
