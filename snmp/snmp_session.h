// SnmpSession: one Net-SNMP session of the single-session API (safe with one session per
// thread), open for the life of the object, and its GETBULK exchange. An exchange keeps one
// request outstanding and sends it again (same request id) as its RetransmissionSchedule says; it
// is settled by our answer, by a refusal, by the kernel's word that nothing listens at the agent's
// address, by silence through the whole budget, or by the stop descriptor, and never waits without
// a deadline. For SNMPv3 the agent's engine is discovered by an exchange of the same kind, and kept
// in the device's AgentLink for the next passes with the agent's boots and time; the device's keys
// and its agent's clock are put into the library's shared tables before each call that may build
// or read a message (own_security_state.h). The lock SNMPv3 devices share is held around the
// library's calls only, never while waiting.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>
#include <net-snmp/library/large_fd_set.h>

#include "net_snmp_library.h"
#include "own_security_state.h"
#include "refusal_watch.h"
#include "retransmission_timer.h"

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

// What a device keeps of its agent from pass to pass; its sampling thread's only.
struct AgentLink {
  RoundTripEstimate round_trip;
  std::string engine_id;  // SNMPv3: the agent's engine, empty until discovered
  AgentClock clock;       // SNMPv3: the agent's boots and time, as this device learned them
};

class SnmpSession {
 public:
  // kTimedOut: silence through the whole budget. kUndecodable: the same, but a datagram came that
  // the library could not decode. kFailed: not sent, refused by the agent's security (SNMPv3), or
  // dropped by the library. kRefused: an ICMP port or host unreachable for the agent's address.
  enum class Outcome { kAnswered, kTimedOut, kUndecodable, kStopped, kFailed, kRefused };
  struct Exchange {
    Outcome outcome;
    PduPtr response;  // set when answered
    // Why, when failed, refused, undecodable or silent to a discovery, in an operator's words.
    std::string failure = {};
    int retransmissions = 0;  // how many times the request was sent again
  };

  // Opens a session from the template, without any traffic; check is_open(). The template's error
  // fields tell why not. `link` outlives the session.
  SnmpSession(netsnmp_session& settings, const RetransmissionRule& rule, AgentLink& link);
  ~SnmpSession();
  SnmpSession(const SnmpSession&) = delete;
  SnmpSession& operator=(const SnmpSession&) = delete;

  bool is_open() const { return handle_ != nullptr; }
  // Sends GETBULK in the given shape for one OID and waits for the outcome; an SNMPv3 session
  // whose agent's engine is not known yet discovers it first.
  Exchange GetBulk(const oid* name, size_t name_length, RequestShape shape, int stop_fd);

 private:
  struct Pending {
    long request_id = 0;  // the callbacks of any other request are ignored
    bool probe = false;   // an engine discovery, which a Report answers
    std::optional<Outcome> outcome;  // set once the request is settled
    PduPtr response;
    std::string failure;
    int report = 0;  // the SNMPv3 Report's kind, when one refused the request
    int resent = 0;
  };
  static int OnResponse(int operation, netsnmp_session* session, int request_id,
                        netsnmp_pdu* pdu, void* magic);
  static bool IsOurAnswer(const netsnmp_session& session, const netsnmp_pdu& pdu);
  static netsnmp_pdu* TakeAnswer(netsnmp_pdu* pdu);

  Exchange Discover(int stop_fd);
  void ForgetEngine();
  void InstallOwnSecurityState() REQUIRES(SecurityStateMutex());
  void LearnAgentClock() REQUIRES(SecurityStateMutex());
  Exchange Send(netsnmp_pdu* request, bool probe, int stop_fd);
  Outcome WaitForOutcome(int stop_fd, ExchangeClock::time_point first_send);
  void Receive();
  void SendAgain();
  bool Refused();
  bool HoldsRequest();
  void Abandon();

  void* handle_;
  bool shares_security_state_;  // SNMPv3
  LocalizedUser user_;          // SNMPv3: for the agent's engine, once known
  RetransmissionRule rule_;
  AgentLink& link_;
  Pending pending_;  // lives as long as the session: closing it may still call back
  RefusalWatch refusals_;  // on the session's socket
  std::string undecodable_;  // why the library could not decode a datagram of this exchange
  netsnmp_large_fd_set readable_;  // reused by every exchange
};

}  // namespace qiraoid
