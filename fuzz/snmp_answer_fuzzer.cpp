// Answer datagrams from a hostile agent, through Net-SNMP's parser, handed to the walk in either
// request shape. Checked on every run: only columns 1-1397 are stored, no exception value is
// stored, and each request starts strictly after the one before (or at the same place, once, when
// the bulk shape falls back).
//
// Input: one byte choosing the shape (even: one binding; odd: bulk), then datagrams, each behind
// a two-byte big-endian length. A datagram the parser refuses stands for silence.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <vector>

#include "table_walk.h"

namespace qiraoid {
namespace {

constexpr size_t kMostDatagrams = 16;
constexpr oid kLastColumn = 1397;  // the cabinet's

// Stops the run where an invariant breaks, so libFuzzer keeps the input.
void Require(bool holds, const char* /*invariant*/) {
  if (!holds) __builtin_trap();
}

struct Datagrams {
  RequestShape shape;
  std::deque<std::vector<uint8_t>> datagrams;
};

Datagrams Split(const uint8_t* data, size_t size) {
  Datagrams split{kOneBindingShape, {}};
  if (size == 0) return split;
  if (data[0] % 2 == 1) split.shape = BulkShape(1 + data[0] % 100);
  for (size_t at = 1; at + 2 <= size && split.datagrams.size() < kMostDatagrams;) {
    const size_t length = std::min<size_t>((data[at] << 8) | data[at + 1], size - at - 2);
    split.datagrams.emplace_back(data + at + 2, data + at + 2 + length);
    at += 2 + length;
  }
  return split;
}

// The library's own parse of an SNMPv2c message, as a session's read would do it.
PduPtr Parse(std::vector<uint8_t>& datagram) {
  static netsnmp_session session = [] {
    netsnmp_session s;
    snmp_sess_init(&s);
    s.version = SNMP_VERSION_2c;
    return s;
  }();
  PduPtr pdu(snmp_pdu_create(SNMP_MSG_RESPONSE));
  if (snmp_parse(nullptr, &session, pdu.get(), datagram.data(), datagram.size()) != SNMP_ERR_NOERROR) {
    return nullptr;
  }
  return pdu;
}

class HostileAgent : public AgentExchange, public WalkSink {
 public:
  explicit HostileAgent(std::deque<std::vector<uint8_t>> datagrams) : datagrams_(std::move(datagrams)) {}

  AgentExchange::Result GetBulk(const oid* name, size_t name_length, RequestShape) override {
    if (!asked_.empty()) {
      const int order = snmp_oid_compare(name, name_length, asked_.data(), asked_.size());
      Require(order > 0 || (order == 0 && may_repeat_), "each request starts after the last");
    }
    may_repeat_ = false;
    asked_.assign(name, name + name_length);
    if (datagrams_.empty()) return {AgentExchange::Outcome::kStopped, nullptr};
    std::vector<uint8_t> datagram = std::move(datagrams_.front());
    datagrams_.pop_front();
    PduPtr answer = Parse(datagram);
    if (!answer) {
      may_repeat_ = true;  // silence: the same position is asked again
      return {AgentExchange::Outcome::kTimedOut, nullptr};
    }
    answer_ = answer.get();
    // tooBig halves the repetitions and genErr is tried with one binding, both at the same position.
    may_repeat_ = answer->errstat != SNMP_ERR_NOERROR;
    return {AgentExchange::Outcome::kAnswered, std::move(answer)};
  }

  void Store(const Columns& columns) override {
    for (const auto& [column, value] : columns) {
      Require(column >= 1 && column <= kLastColumn, "only the record's columns are stored");
      Require(CarriesAValue(column), "no exception value is stored");
    }
  }

  void FellBackFromBulk(const char*) override { may_repeat_ = true; }

 private:
  // Whether the answer being stored has a binding of this column with a value, not an exception.
  bool CarriesAValue(oid column) const {
    for (const netsnmp_variable_list* v = answer_->variables; v != nullptr; v = v->next_variable) {
      const bool exception = v->type == SNMP_ENDOFMIBVIEW || v->type == SNMP_NOSUCHOBJECT ||
                             v->type == SNMP_NOSUCHINSTANCE;
      if (!exception && v->name_length > 11 && v->name[11] == column) return true;
    }
    return false;
  }

  std::deque<std::vector<uint8_t>> datagrams_;
  std::vector<oid> asked_;
  bool may_repeat_ = false;  // after silence, an error status or a fallback
  const netsnmp_pdu* answer_ = nullptr;  // owned by the walk while it is stored
};

}  // namespace
}  // namespace qiraoid

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const oid kRoot[] = {1, 3, 6, 1, 4, 1, 61333, 1, 1, 4, 0};
  using namespace qiraoid;
  Datagrams input = Split(data, size);
  HostileAgent agent(std::move(input.datagrams));
  TableWalk walk(kRoot, 11, kLastColumn);
  walk.Run(input.shape, agent, agent);
  return 0;
}
