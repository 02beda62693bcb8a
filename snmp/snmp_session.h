// SnmpSession: one Net-SNMP session of the single-session API (safe with one session per
// thread), open for the life of the object: the AgentExchange of a real agent. An exchange keeps one
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

#include "agent_exchange.h"
#include "net_snmp_library.h"
#include "own_security_state.h"
#include "refusal_watch.h"
#include "retransmission_timer.h"

namespace qiraoid {

// What a device keeps of its agent from pass to pass; its sampling thread's only.
struct AgentLink {
  RoundTripEstimate round_trip;
  std::string engine_id;  // SNMPv3: the agent's engine, empty until discovered
  AgentClock clock;       // SNMPv3: the agent's boots and time, as this device learned them
};

class SnmpSession final : public AgentExchange {
 public:
  // Opens a session from the template, without any traffic; check is_open(). The template's error
  // fields tell why not. `link` outlives the session; a readable `stop_fd` stops its exchanges.
  SnmpSession(netsnmp_session& settings, const RetransmissionRule& rule, AgentLink& link, int stop_fd);
  ~SnmpSession() override;
  SnmpSession(const SnmpSession&) = delete;
  SnmpSession& operator=(const SnmpSession&) = delete;

  bool is_open() const { return handle_ != nullptr; }
  // An SNMPv3 session whose agent's engine is not known yet discovers it first.
  Result GetBulk(const oid* name, size_t name_length, RequestShape shape) override;

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

  Result Discover();
  void ForgetEngine();
  void InstallOwnSecurityState() REQUIRES(SecurityStateMutex());
  void LearnAgentClock() REQUIRES(SecurityStateMutex());
  Result Send(netsnmp_pdu* request, bool probe);
  Outcome WaitForOutcome(RetransmissionClock::time_point first_send);
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
  const int stop_fd_;
  Pending pending_;  // lives as long as the session: closing it may still call back
  RefusalWatch refusals_;  // on the session's socket
  std::string undecodable_;  // why the library could not decode a datagram of this exchange
  netsnmp_large_fd_set readable_;  // reused by every exchange
};

}  // namespace qiraoid
