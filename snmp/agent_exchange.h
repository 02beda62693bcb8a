// AgentExchange: where a walk's exchanges with its agent go, one at a time: an exchange is one
// GETBULK request and its outcome. SnmpSession is the real one; tests and the fuzzer answer from
// scripts instead. The owner's stop, given when the exchange is opened, ends a wait with kStopped.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

namespace qiraoid {

struct PduDeleter {
  void operator()(netsnmp_pdu* pdu) const { snmp_free_pdu(pdu); }
};
using PduPtr = std::unique_ptr<netsnmp_pdu, PduDeleter>;

// How many bindings a GETBULK asks for: one (non-repeaters 1, max-repetitions 100, one OID) or,
// in the bulk shape, up to max-repetitions of them (non-repeaters 0).
// (Net-SNMP defines non_repeaters and max_repetitions as macros, hence the other field names.)
struct RequestShape {
  long non_repeating;
  long repetitions;
  bool is_bulk() const { return non_repeating == 0; }
};
inline constexpr RequestShape kOneBindingShape{1, 100};
inline constexpr RequestShape BulkShape(long max_repetitions) { return {0, max_repetitions}; }

class AgentExchange {
 public:
  // kTimedOut: silence through the whole budget. kUndecodable: the same, but a datagram came that
  // the library could not decode. kFailed: not sent, refused by the agent's security (SNMPv3), or
  // dropped by the library. kRefused: an ICMP port or host unreachable for the agent's address.
  enum class Outcome { kAnswered, kTimedOut, kUndecodable, kStopped, kFailed, kRefused };
  struct Result {
    Outcome outcome;
    PduPtr response;  // set when answered
    // Why, when failed, refused, undecodable or silent to a discovery, in an operator's words.
    std::string failure = {};
    int retransmissions = 0;  // how many times the request was sent again
  };

  virtual ~AgentExchange() = default;
  // Sends GETBULK in the given shape for one OID and waits for its outcome.
  virtual Result GetBulk(const oid* name, size_t name_length, RequestShape shape) = 0;
};

}  // namespace qiraoid
