#include "snmp_session.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

#include "net_snmp_library.h"

namespace qiraoid {

namespace {

// The library never times a request out by itself: every request it holds is due at once, and is
// sent again only when the exchange calls snmp_sess_timeout, as its schedule says.
constexpr long kDueAtOnce = 1;  // microseconds
constexpr int kLibraryRetries = 1000 * 1000;

std::string LibraryError(int snmp_errno) { return snmp_api_errstring(snmp_errno); }

}  // namespace

SnmpSession::SnmpSession(netsnmp_session& settings, const RetransmissionRule& rule, AgentLink& link, int stop_fd)
    : handle_(nullptr),
      shares_security_state_(settings.version == SNMP_VERSION_3),
      rule_(rule),
      link_(link),
      stop_fd_(stop_fd) {
  EnsureNetSnmpReady();
  netsnmp_large_fd_set_init(&readable_, FD_SETSIZE);
  netsnmp_session opening = settings;
  opening.timeout = kDueAtOnce;
  opening.retries = kLibraryRetries;
  const SecurityStateLock guard(shares_security_state_);
  if (shares_security_state_) {
    // The engine is discovered by an exchange of our own (Discover), never by the open, and the
    // library's user for it holds whatever keys the device installs (LocalizedUser).
    opening.flags |= SNMP_FLAGS_DONT_PROBE | SNMP_FLAGS_USER_CREATED;
    opening.securityEngineID = reinterpret_cast<u_char*>(link_.engine_id.data());
    opening.securityEngineIDLen = link_.engine_id.size();
  }
  handle_ = snmp_sess_open(&opening);
  settings.s_snmp_errno = opening.s_snmp_errno;
  settings.s_errno = opening.s_errno;
  if (handle_ == nullptr) return;
  const netsnmp_transport* transport = snmp_sess_transport(handle_);
  refusals_ = RefusalWatch(transport->sock, (transport->flags & NETSNMP_TRANSPORT_FLAG_STREAM) == 0,
                           transport->remote, transport->remote_length);
  if (!shares_security_state_) return;
  netsnmp_session* session = snmp_sess_session(handle_);
  // The open clears the flag; without it a send to an unknown engine would probe on its own.
  session->flags |= SNMP_FLAGS_DONT_PROBE;
  if (!link_.engine_id.empty()) user_.Localize(*session);
}

SnmpSession::~SnmpSession() {
  const SecurityStateLock guard(shares_security_state_);
  if (handle_ != nullptr) snmp_sess_close(handle_);
  netsnmp_large_fd_set_cleanup(&readable_);
}

int SnmpSession::OnResponse(int operation, netsnmp_session* session, int request_id,
                            netsnmp_pdu* pdu, void* magic) {
  auto* pending = static_cast<Pending*>(magic);
  // Only one request is outstanding at a time. The library matches SNMPv3 messages by their
  // message id, and a Report to a request the agent could not decrypt carries no request id.
  const bool ours = session->version == SNMP_VERSION_3 || request_id == pending->request_id;
  if (!ours || pending->outcome) return 1;  // an earlier exchange's
  switch (operation) {
    case NETSNMP_CALLBACK_OP_RESEND:
      ++pending->resent;  // the same request again: still waiting
      return 1;
    case NETSNMP_CALLBACK_OP_SEC_ERROR:
      // In v1/v2c only a Report in answer causes this; the library offers it as received next.
      if (session->version != SNMP_VERSION_3) return 1;
      if (pending->probe) {
        pending->outcome = Outcome::kAnswered;  // the Report a discovery asks for
        return 1;
      }
      pending->report = pdu ? snmpv3_get_report_type(pdu) : session->s_snmp_errno;
      pending->outcome = Outcome::kFailed;
      pending->failure = "authentication failed: " + LibraryError(pending->report);
      return 1;
    case NETSNMP_CALLBACK_OP_RECEIVED_MESSAGE:
      if (session->version == SNMP_VERSION_3 && pdu->command == SNMP_MSG_REPORT) {
        // The answer to an engine discovery. To any other request a Report either refuses it,
        // which the library tells next (SEC_ERROR), or gives the agent's time, after which the
        // library sends the request again.
        if (pending->probe) pending->outcome = Outcome::kAnswered;
        return 1;
      }
      // 0 leaves the request open, so a datagram that is not our answer is as if never received.
      if (!IsOurAnswer(*session, *pdu)) return 0;
      pending->response.reset(TakeAnswer(pdu));
      pending->outcome = pending->response ? Outcome::kAnswered : Outcome::kFailed;
      return 1;
    case NETSNMP_CALLBACK_OP_TIMED_OUT:
      pending->outcome = Outcome::kTimedOut;
      return 1;
    default:
      pending->outcome = Outcome::kFailed;
      pending->failure = "the request failed: " + LibraryError(session->s_snmp_errno);
      return 1;
  }
}

// The library frees its PDU after the callback. What the walk reads of an answer is moved into a
// PDU of our own rather than copied: the copy of every binding was a tenth of an exchange's work.
netsnmp_pdu* SnmpSession::TakeAnswer(netsnmp_pdu* pdu) {
  auto* kept = static_cast<netsnmp_pdu*>(calloc(1, sizeof(netsnmp_pdu)));  // as snmp_free_pdu expects
  if (kept == nullptr) return nullptr;
  kept->version = pdu->version;
  kept->command = pdu->command;
  kept->reqid = pdu->reqid;
  kept->errstat = pdu->errstat;
  kept->errindex = pdu->errindex;
  kept->variables = std::exchange(pdu->variables, nullptr);
  return kept;
}

// The library has already matched the request id. A v1/v2c answer must also be a Response in our
// version with our community. Its source address is not checked: an agent on a host with several
// addresses may answer from another one than it was asked on.
bool SnmpSession::IsOurAnswer(const netsnmp_session& session, const netsnmp_pdu& pdu) {
  if (pdu.command != SNMP_MSG_RESPONSE || pdu.version != session.version) return false;
  if (session.version == SNMP_VERSION_3) return true;  // the library verifies v3 messages itself
  return pdu.community_len == session.community_len &&
         std::equal(pdu.community, pdu.community + pdu.community_len, session.community);
}

AgentExchange::Result SnmpSession::GetBulk(const oid* name, size_t name_length, RequestShape shape) {
  const auto request = [&] {
    netsnmp_pdu* pdu = snmp_pdu_create(SNMP_MSG_GETBULK);
    pdu->non_repeaters = shape.non_repeating;
    pdu->max_repetitions = shape.repetitions;
    snmp_add_null_var(pdu, name, name_length);
    return pdu;
  };
  if (shares_security_state_ && !user_.localized()) {
    Result discovery = Discover();
    if (discovery.outcome != Outcome::kAnswered) return discovery;
  }
  Result exchange = Send(request(), false);
  // An agent that restarted answers with a Report the library cannot take for the engine it knew
  // (a new engine id, or new boots and time): find the engine again and ask again, once.
  const bool engine_changed = exchange.outcome == Outcome::kUndecodable ||
                              (exchange.outcome == Outcome::kFailed && pending_.report == SNMPERR_UNKNOWN_ENG_ID);
  if (!shares_security_state_ || !engine_changed) return exchange;
  ForgetEngine();
  Result discovery = Discover();
  if (discovery.outcome != Outcome::kAnswered) return discovery;
  return Send(request(), false);
}

// RFC 3414's discovery: a GET without bindings at noAuthNoPriv from the user with no name, which
// the agent answers with a Report naming its engine; the library keeps the engine in the session.
// The device's keys are then localized to that engine.
AgentExchange::Result SnmpSession::Discover() {
  netsnmp_pdu* probe = snmp_pdu_create(SNMP_MSG_GET);
  probe->version = SNMP_VERSION_3;
  probe->securityName = strdup("");
  probe->securityNameLen = 0;
  probe->securityLevel = SNMP_SEC_LEVEL_NOAUTH;
  probe->securityModel = SNMP_SEC_MODEL_USM;
  Result exchange = Send(probe, true);
  // Sent at noAuthNoPriv: silence here is never a wrong passphrase.
  if (exchange.outcome == Outcome::kTimedOut) {
    exchange.failure = "no answer to the engine discovery within the time-out and its retries";
  }
  if (exchange.outcome != Outcome::kAnswered) return exchange;
  const SecurityStateLock guard(shares_security_state_);
  netsnmp_session* session = snmp_sess_session(handle_);
  if (session->securityEngineIDLen == 0) {
    return {Outcome::kFailed, nullptr, "the agent's answer to the engine discovery names no engine"};
  }
  if (!user_.Localize(*session)) {
    return {Outcome::kFailed, nullptr, "the library cannot make the SNMPv3 user for the agent's engine"};
  }
  link_.engine_id.assign(reinterpret_cast<const char*>(session->securityEngineID), session->securityEngineIDLen);
  return exchange;
}

void SnmpSession::ForgetEngine() {
  const SecurityStateLock guard(shares_security_state_);
  netsnmp_session* session = snmp_sess_session(handle_);
  SNMP_FREE(session->securityEngineID);
  session->securityEngineIDLen = 0;
  SNMP_FREE(session->contextEngineID);
  session->contextEngineIDLen = 0;
  link_.engine_id.clear();
  user_.Forget();
  // What the library held of the agent's boots and time did not fit its answer: the agent's
  // Report to the discovery sets them.
  ForgetTime(&link_.clock);
}

AgentExchange::Result SnmpSession::Send(netsnmp_pdu* request, bool probe) {
  pending_ = Pending{request->reqid, probe, std::nullopt, nullptr, {}, 0, 0};
  undecodable_.clear();
  refusals_.TakeRefusal();  // an earlier exchange's, which would fail this send
  const RetransmissionClock::time_point first_send = RetransmissionClock::now();
  {
    const SecurityStateLock guard(shares_security_state_);
    InstallOwnSecurityState();
    if (snmp_sess_async_send(handle_, request, &SnmpSession::OnResponse, &pending_) == 0) {
      snmp_free_pdu(request);
      if (pending_.outcome) return {*pending_.outcome, nullptr, std::move(pending_.failure)};
      return {Outcome::kFailed, nullptr,
              "the request could not be sent: " + LibraryError(snmp_sess_session(handle_)->s_snmp_errno)};
    }
  }
  const Outcome outcome = WaitForOutcome(first_send);
  // Karn's rule: an answer to a request sent more than once does not tell which send it answers.
  if (outcome == Outcome::kAnswered && pending_.resent == 0) {
    link_.round_trip.Sample(
        std::chrono::duration_cast<std::chrono::microseconds>(RetransmissionClock::now() - first_send));
  }
  if (outcome == Outcome::kUndecodable) pending_.failure = "an answer the library cannot decode: " + undecodable_;
  return {outcome, std::move(pending_.response), std::move(pending_.failure), pending_.resent};
}

// Waits with poll on the session's socket and the stop descriptor, until the outcome or the next
// send the schedule asks for. The stop descriptor is kept out of the library's descriptor sets: its
// armhf build aborts on any descriptor of FD_SETSIZE or more there, where stop descriptors are
// moved to leave the low numbers to the sessions' sockets.
AgentExchange::Outcome SnmpSession::WaitForOutcome(RetransmissionClock::time_point first_send) {
  RetransmissionSchedule schedule(rule_, link_.round_trip, first_send);
  const int socket = snmp_sess_transport(handle_)->sock;
  while (!pending_.outcome) {
    if (!HoldsRequest()) {
      // Settled by the library without a word to us: it holds the reason.
      const int reason = snmp_sess_session(handle_)->s_snmp_errno;
      pending_.failure = (shares_security_state_ ? "authentication failed: " : "the library gave the request up: ") +
                         LibraryError(reason);
      return Outcome::kFailed;
    }
    const RetransmissionClock::time_point now = RetransmissionClock::now();
    if (now >= schedule.silent_at()) {
      Abandon();
      return undecodable_.empty() ? Outcome::kTimedOut : Outcome::kUndecodable;
    }
    const std::optional<RetransmissionClock::time_point> next_send = schedule.next_send();
    if (next_send && now >= *next_send) {
      if (Refused()) return Outcome::kRefused;  // come since the poll: the send would fail
      SendAgain();
      schedule.Resent(now);
      link_.round_trip.BackOff(schedule.wait());
      continue;
    }
    const RetransmissionClock::time_point due =
        next_send ? std::min(*next_send, schedule.silent_at()) : schedule.silent_at();
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(due - now);
    pollfd waited[] = {{socket, POLLIN, 0}, {stop_fd_, POLLIN, 0}};
    const int ready = poll(waited, 2, static_cast<int>(wait.count()));
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) {
      pending_.failure = std::string("waiting for the answer failed: ") + std::strerror(errno);
      Abandon();
      return Outcome::kFailed;
    }
    if (waited[1].revents != 0) {
      Abandon();
      return Outcome::kStopped;
    }
    if ((waited[0].revents & POLLERR) != 0 && Refused()) return Outcome::kRefused;
    if ((waited[0].revents & ~POLLERR) != 0) Receive();
    if (shares_security_state_ && !undecodable_.empty()) {
      Abandon();  // the engine the library knows is likely out of date: no use waiting
      return Outcome::kUndecodable;
    }
  }
  return *pending_.outcome;
}

// Reads one datagram; one the library cannot decode is remembered, to tell the silence that may follow.
void SnmpSession::Receive() {
  const SecurityStateLock guard(shares_security_state_);
  InstallOwnSecurityState();
  const int read = snmp_sess_read2(handle_, &readable_);
  LearnAgentClock();
  if (read != -1 || pending_.outcome) return;
  const int reason = snmp_sess_session(handle_)->s_snmp_errno;
  if (reason != SNMPERR_BAD_RECVFROM) undecodable_ = LibraryError(reason);
}

// The request is due at once for the library, which sends it again, same request id, when asked.
void SnmpSession::SendAgain() {
  const SecurityStateLock guard(shares_security_state_);
  InstallOwnSecurityState();
  snmp_sess_timeout(handle_);
}

// Whether the kernel told that nothing listens at the agent's address; if so the request is dropped.
bool SnmpSession::Refused() {
  std::optional<std::string> refusal = refusals_.TakeRefusal();
  if (!refusal) return false;
  pending_.failure = std::move(*refusal);
  Abandon();
  return true;
}

// Whether the library still holds a request; it also puts the session's socket in readable_.
bool SnmpSession::HoldsRequest() {
  const SecurityStateLock guard(shares_security_state_);
  int fd_count = 0;
  int block = 1;
  struct timeval timeout = {0, 0};
  NETSNMP_LARGE_FD_ZERO(&readable_);
  snmp_sess_select_info2(handle_, &fd_count, &readable_, &timeout, &block);
  return block == 0;
}

// Drops the outstanding request: allowed no retry, the library times every due request out.
void SnmpSession::Abandon() {
  const SecurityStateLock guard(shares_security_state_);
  netsnmp_session* session = snmp_sess_session(handle_);
  session->retries = 0;
  snmp_sess_timeout(handle_);
  session->retries = kLibraryRetries;
}

// Right before a call that may build or read a message (the library resends on a notInTimeWindow
// Report while reading): this device's keys and its agent's clock, whatever another device whose
// agent shares the engine ID left in the library's tables.
void SnmpSession::InstallOwnSecurityState() {
  if (!shares_security_state_) return;
  if (user_.localized()) user_.Install();
  InstallClock(link_.clock);
}

// Right after a read: what the library learned of the agent's boots and time is this device's.
void SnmpSession::LearnAgentClock() {
  if (!shares_security_state_) return;
  const netsnmp_session* session = snmp_sess_session(handle_);
  if (session->securityEngineIDLen != 0) LearnClock(session->securityEngineID, session->securityEngineIDLen, &link_.clock);
}

}  // namespace qiraoid
