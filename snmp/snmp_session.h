// SnmpSession: one Net-SNMP session of the single-session API (safe with one session per
// thread), open for the life of the object, and its GETBULK exchange. An exchange keeps one
// request outstanding, retransmitted by the library as the session's retries say, and is settled
// only by our answer, by the time-out after the last retry, or by the stop descriptor.
#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>
#include <net-snmp/library/large_fd_set.h>

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

class SnmpSession {
 public:
  // kFailed: not sent, not waited for, or refused by the agent's security (SNMPv3).
  enum class Outcome { kAnswered, kTimedOut, kStopped, kFailed };
  struct Exchange {
    Outcome outcome;
    PduPtr response;  // set when answered
    std::string failure = {};  // why, when failed, in an operator's words
    unsigned retransmissions = 0;  // how often the library sent the request again
  };

  // Opens a session from the template; check is_open(). The template's error fields tell why not.
  // An SNMPv3 open discovers the agent's engine, for at most kLongestDiscovery per try.
  explicit SnmpSession(netsnmp_session& settings);
  ~SnmpSession();
  SnmpSession(const SnmpSession&) = delete;
  SnmpSession& operator=(const SnmpSession&) = delete;

  bool is_open() const { return handle_ != nullptr; }
  // Sends GETBULK in the given shape for one OID and waits for the outcome.
  Exchange GetBulk(const oid* name, size_t name_length, RequestShape shape, int stop_fd);

 private:
  static constexpr long kLongestDiscovery = 1000 * 1000;  // microseconds

  struct Pending {
    long request_id = 0;  // the callbacks of any other request are ignored
    std::optional<Outcome> outcome;  // set once the request is settled
    PduPtr response;
    std::string failure;
    unsigned retransmissions = 0;
  };
  std::unique_lock<std::mutex> Guard() const;  // held around the library's calls on SNMPv3
  static int OnResponse(int operation, netsnmp_session* session, int request_id,
                        netsnmp_pdu* pdu, void* magic);
  static bool IsOurAnswer(const netsnmp_session& session, const netsnmp_pdu& pdu);
  static netsnmp_pdu* TakeAnswer(netsnmp_pdu* pdu);
  Outcome WaitForOutcome(int stop_fd);

  void* handle_;
  bool shares_security_state_;  // SNMPv3
  Pending pending_;  // lives as long as the session: closing it may still call back
  netsnmp_large_fd_set readable_;  // reused by every exchange
};

}  // namespace qiraoid
