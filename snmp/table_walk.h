// TableWalk: one pass over the table below a root, by GETBULK requests through an AgentExchange,
// each continuing after the last OID of the answer before. It decides where the next request
// starts and how the pass ends; its owner supplies the exchange and keeps the values.
//
// How a pass ends:
// - complete (a round follows): an OID outside the root, or the agent's endOfMibView, after at
//   least one column; without any column the agent has no table for the root (agent fault);
// - silent agent: the same position is asked again, for as long as the agent stays silent;
// - agent fault (no round): an error status, an answer without bindings or with exceptions only
//   (noSuchObject, noSuchInstance), an OID that does not increase, or a request that could not
//   be sent or was refused;
// - stopped: the exchange was woken by the owner's stop.
// In the bulk shape silence is not refusal. The walk gives the bulk shape up for the rest of the
// pass only when the agent shows that it refuses it: tooBig at one repetition (tooBig halves the
// repetitions first), genErr where one binding asked at the same position right after is
// answered, or silence through the whole budget where that happens twice with no bulk answer
// between. An answer the library cannot decode never gives it up.
// A TableWalk is used by one thread at a time.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "agent_exchange.h"

namespace qiraoid {

// Where the walk's values and its change of shape go.
class WalkSink {
 public:
  using Columns = std::vector<std::pair<oid, float>>;  // column (1..the last) and its value
  virtual ~WalkSink() = default;
  // One answer's columns, in the answer's order (a column may come twice; the later one holds).
  virtual void Store(const Columns& columns) = 0;
  // The agent refuses the bulk shape, as `cause` says; the rest of the pass asks for one binding
  // at a time.
  virtual void FellBackFromBulk(const char* cause) = 0;
};

class TableWalk {
 public:
  enum class End { kComplete, kAgentFault, kStopped };
  struct Result {
    End end;
    std::string fault;  // kAgentFault: what the agent did, in an operator's words
    oid last_column;    // the highest column stored, 0 for none
  };

  // The root: at most MAX_OID_LEN sub-identifiers, held from here on. Columns 1 to last_column
  // are stored; any other column is walked past.
  TableWalk(const oid* root, size_t root_length, oid last_column);

  // One pass from the root, starting in `shape`.
  Result Run(RequestShape shape, AgentExchange& exchange, WalkSink& sink);

 private:
  enum class Step { kGoOn, kComplete, kFault };
  // Checks the answer's bindings in order, collects its columns and moves the position.
  Step TakeAnswer(const netsnmp_pdu& answer, std::string* fault);
  // TakeAnswer's check of each binding against the OID before it (*after, moved along).
  Step TakeBindings(const netsnmp_pdu& answer, const oid** after, size_t* after_length, std::string* fault);
  std::string ErrorStatusFault(const netsnmp_pdu& answer) const;
  Result Fault(std::string fault) const { return {End::kAgentFault, std::move(fault), last_column_}; }
  bool InRoot(const netsnmp_variable_list& variable) const;
  void MoveTo(const oid* name, size_t name_length);

  oid root_[MAX_OID_LEN];
  size_t root_length_;
  oid last_table_column_;
  oid position_[MAX_OID_LEN];  // the next request continues after this OID
  size_t position_length_ = 0;
  WalkSink::Columns columns_;  // one answer's, reused from answer to answer
  oid last_column_ = 0;
};

}  // namespace qiraoid
