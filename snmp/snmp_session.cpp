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

SnmpSession::SnmpSession(netsnmp_session& settings)
    : handle_(nullptr), shares_security_state_(settings.version == SNMP_VERSION_3) {
  EnsureNetSnmpReady();
  netsnmp_large_fd_set_init(&readable_, FD_SETSIZE);
  auto guard = Guard();
  if (!shares_security_state_) {
    handle_ = snmp_sess_open(&settings);
    return;
  }
  // An SNMPv3 open discovers the agent's engine with an exchange of its own, holding the lock
  // every SNMPv3 device shares: each try is given at most kLongestDiscovery, so a silent agent
  // holds the others up briefly; the session then waits for answers as the settings say.
  ForgetUserWithOtherKeys(settings);
  netsnmp_session discovery = settings;
  discovery.timeout = std::min(settings.timeout, kLongestDiscovery);
  handle_ = snmp_sess_open(&discovery);
  settings.s_snmp_errno = discovery.s_snmp_errno;
  settings.s_errno = discovery.s_errno;
  if (handle_ != nullptr) snmp_sess_session(handle_)->timeout = settings.timeout;
}

SnmpSession::~SnmpSession() {
  auto guard = Guard();
  if (handle_ != nullptr) snmp_sess_close(handle_);
  netsnmp_large_fd_set_cleanup(&readable_);
}

int SnmpSession::OnResponse(int operation, netsnmp_session* session, int request_id,
                            netsnmp_pdu* pdu, void* magic) {
  auto* pending = static_cast<Pending*>(magic);
  if (request_id != pending->request_id || pending->outcome) return 1;  // an earlier exchange's
  switch (operation) {
    case NETSNMP_CALLBACK_OP_RESEND:
      ++pending->retransmissions;
      return 1;  // the library retransmitting the same request: still waiting
    case NETSNMP_CALLBACK_OP_SEC_ERROR:
      // In v1/v2c only a Report in answer causes this; the library offers it as received next.
      if (session->version != SNMP_VERSION_3) return 1;
      pending->outcome = Outcome::kFailed;
      pending->failure = std::string("authentication failed: ") +
                         snmp_api_errstring(pdu ? snmpv3_get_report_type(pdu) : session->s_snmp_errno);
      return 1;
    case NETSNMP_CALLBACK_OP_RECEIVED_MESSAGE:
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
      pending->failure = std::string("the request failed: ") + snmp_api_errstring(session->s_snmp_errno);
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

SnmpSession::Exchange SnmpSession::GetBulk(const oid* name, size_t name_length, RequestShape shape,
                                           int stop_fd) {
  netsnmp_pdu* request = snmp_pdu_create(SNMP_MSG_GETBULK);
  request->non_repeaters = shape.non_repeating;
  request->max_repetitions = shape.repetitions;
  snmp_add_null_var(request, name, name_length);

  pending_ = Pending{request->reqid, std::nullopt, nullptr, {}};
  {
    auto guard = Guard();
    if (snmp_sess_async_send(handle_, request, &SnmpSession::OnResponse, &pending_) == 0) {
      snmp_free_pdu(request);
      return {Outcome::kFailed, nullptr, std::string("the request could not be sent: ") +
                                             snmp_api_errstring(snmp_sess_session(handle_)->s_snmp_errno)};
    }
  }
  const Outcome outcome = WaitForOutcome(stop_fd);
  return {outcome, std::move(pending_.response), std::move(pending_.failure), pending_.retransmissions};
}

std::unique_lock<std::mutex> SnmpSession::Guard() const {
  return shares_security_state_ ? SecurityStateGuard() : std::unique_lock<std::mutex>();
}

// The library's own synchronous exchange, waiting with poll on the session's socket and the stop
// descriptor. The stop descriptor is kept out of the library's descriptor sets: its armhf build
// aborts on any descriptor of FD_SETSIZE or more there, where stop descriptors are moved to leave
// the low numbers to the sessions' sockets.
SnmpSession::Outcome SnmpSession::WaitForOutcome(int stop_fd) {
  const int socket = snmp_sess_transport(handle_)->sock;
  while (!pending_.outcome) {
    int fd_count = 0;
    int block = 1;
    struct timeval timeout = {0, 0};
    NETSNMP_LARGE_FD_ZERO(&readable_);
    snmp_sess_select_info2(handle_, &fd_count, &readable_, &timeout, &block);
    pollfd waited[] = {{socket, POLLIN, 0}, {stop_fd, POLLIN, 0}};
    const int wait_ms = block ? -1 : static_cast<int>(timeout.tv_sec * 1000 + (timeout.tv_usec + 999) / 1000);
    const int ready = poll(waited, 2, wait_ms);
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) {
      pending_.failure = std::string("waiting for the answer failed: ") + std::strerror(errno);
      return Outcome::kFailed;
    }
    if (waited[1].revents != 0) return Outcome::kStopped;
    auto guard = Guard();
    if (waited[0].revents == 0) {
      snmp_sess_timeout(handle_);
    } else {
      snmp_sess_read2(handle_, &readable_);
    }
  }
  return *pending_.outcome;
}

}  // namespace qiraoid
