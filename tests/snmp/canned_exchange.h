// An AgentExchange that answers from a script instead of a socket, and a WalkSink that keeps what
// the walk gives it, so the walk is tested without an agent.
#pragma once

#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "table_walk.h"

namespace qiraoid {

using Name = std::vector<oid>;

// One binding of a canned answer; `type` ASN_OCTET_STR takes `text`, exceptions take nothing.
struct CannedBinding {
  Name name;
  u_char type = ASN_OCTET_STR;
  std::string text;
};

AgentExchange::Result Answer(const std::vector<CannedBinding>& bindings, long error_status = 0);
AgentExchange::Result Silence();

class CannedExchange : public AgentExchange {
 public:
  struct Request {
    Name name;
    RequestShape shape;
  };
  // Outcomes in order; once they run out, the exchange reports a stop.
  explicit CannedExchange(std::deque<AgentExchange::Result> outcomes) : outcomes_(std::move(outcomes)) {}

  AgentExchange::Result GetBulk(const oid* name, size_t name_length, RequestShape shape) override;
  const std::vector<Request>& requests() const { return requests_; }

 private:
  std::deque<AgentExchange::Result> outcomes_;
  std::vector<Request> requests_;
};

struct KeptColumns : WalkSink {
  std::vector<std::pair<oid, float>> stored;
  std::vector<std::string> fallbacks;
  void Store(const Columns& columns) override { stored.insert(stored.end(), columns.begin(), columns.end()); }
  void FellBackFromBulk(const char* cause) override { fallbacks.emplace_back(cause); }
};

}  // namespace qiraoid
