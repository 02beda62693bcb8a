// One pass: the device forms the root from its address, opens a session with its access settings
// and what it knows of the agent from earlier passes (AgentLink), and lets a TableWalk walk the
// table through it; a complete walk ends with RoundDone. The agent's health is told along the
// way, and a line is logged only when it changes. The session, the walk and the health are the
// SNMP core's (snmp/); the pass, the record, the lines and the round are the device's.
//
//   do_sample -> WalkOnce, then the pass's figures, then RoundDone (complete walks only)
//   +-- SnmpSession (snmp/; opened from a copy of the template taken under the access lock)
//   +-- TableWalk::Run (snmp/; the device's root, and the record's last column)
//   |     +-- Pass::GetBulk -> stamps the sampling time, SnmpSession::GetBulk; silence: failing
//   |     +-- Pass::Store   -> the record's values, under the record's lock
//   |     +-- Pass::FellBackFromBulk -> one log line, a rest in the one-binding shape
//   +-- AgentHealth (snmp/): failing (fault, short table) or answering again; Tell logs its line
#include <algorithm>
#include <ctime>

#include <boost/date_time/posix_time/conversion.hpp>
#include <boost/date_time/posix_time/posix_time_types.hpp>

#include "log_line.h"
#include "snmp_qiraoid.h"
#include "snmp_session.h"
#include "table_walk.h"

using qiraoid::AccessSettings;
using qiraoid::BulkShape;
using qiraoid::kOneBindingShape;
using qiraoid::RequestShape;
using qiraoid::SnmpSession;
using qiraoid::TableWalk;
using qiraoid::WalkExchange;
using qiraoid::WalkSink;

namespace {

constexpr std::chrono::seconds kFirstBulkRest = std::chrono::minutes(1);
constexpr std::chrono::seconds kLongestBulkRest = std::chrono::hours(1);

}  // namespace

class SNMP_QIRAOID::Pass : public WalkExchange, public WalkSink {
 public:
  // `access` and `access_changes` are the settings the session was opened with, and their count.
  Pass(SNMP_QIRAOID& device, SnmpSession& session, const AccessSettings& access, unsigned access_changes)
      : device_(device),
        session_(session),
        private_v3_(access.version == SNMP_VERSION_3 && access.security_level == SNMP_SEC_LEVEL_AUTHPRIV),
        access_changes_(access_changes) {}

  SnmpSession::Exchange GetBulk(const oid* name, size_t name_length, RequestShape shape) override {
    {
      auto guard = device_.GuardRecord();
      device_.sample_time_ = LocalSecondNow();
    }
    device_.figures_.CountRequest();
    SnmpSession::Exchange exchange = session_.GetBulk(name, name_length, shape, device_.stop_.fd());
    device_.figures_.CountRetransmissions(exchange.retransmissions);
    const bool silent = exchange.outcome == SnmpSession::Outcome::kTimedOut;
    if (silent) device_.figures_.CountSilence();
    if (!silent && exchange.outcome != SnmpSession::Outcome::kUndecodable) return exchange;
    if (device_.access_changes_.load() != access_changes_) return {SnmpSession::Outcome::kStopped, nullptr};
    // Silence in the bulk shape is told once one binding at the same position is silent too.
    if (!silent) {
      device_.Tell(device_.health_.Failing(exchange.failure));
    } else if (!shape.is_bulk()) {
      device_.Tell(device_.health_.Failing(exchange.failure.empty() ? Silence() : exchange.failure));
    }
    return exchange;
  }

  void Store(const Columns& columns) override {
    auto guard = device_.GuardRecord();
    for (const auto& [column, value] : columns) device_.data_.value[column - 1] = value;
  }

  // Each refusal in a row doubles the rest.
  void FellBackFromBulk(const char* cause) override {
    device_.figures_.CountBulkGiveUp();
    fell_back_ = true;
    std::chrono::seconds& rest = device_.bulk_rest_;
    rest = rest.count() == 0 ? kFirstBulkRest : std::min(2 * rest, kLongestBulkRest);
    device_.bulk_again_at_ = std::chrono::steady_clock::now() + rest;
    LogLine(device_.WhoIs(), ": falls back from the bulk shape to one binding per request for ",
            qiraoid::HowLong(rest), ": ", cause);
  }

  bool fell_back() const { return fell_back_; }

 private:
  // The local time to the second, as second_clock::local_time gives it, converted once per second
  // rather than once per request: a walk sends hundreds of requests a second.
  boost::posix_time::ptime LocalSecondNow() {
    const std::time_t now = std::time(nullptr);
    if (now != stamped_second_) {
      std::tm local{};
      if (localtime_r(&now, &local) == nullptr) return boost::posix_time::second_clock::local_time();
      stamp_ = boost::posix_time::ptime_from_tm(local);
      stamped_second_ = now;
    }
    return stamp_;
  }

  // An agent drops what it cannot decrypt without a word, so a wrong priv passphrase is silence.
  std::string Silence() const {
    return private_v3_ ? "no answer within the time-out and its retries (or a wrong priv passphrase)"
                       : "no answer within the time-out and its retries";
  }

  SNMP_QIRAOID& device_;
  SnmpSession& session_;
  const bool private_v3_;
  const unsigned access_changes_;  // when the pass began
  std::time_t stamped_second_ = -1;
  boost::posix_time::ptime stamp_;
  bool fell_back_ = false;
};

void SNMP_QIRAOID::do_sample() {
  LogLine("SNMP_QIRAOID::do_sample");
  const auto began = std::chrono::steady_clock::now();
  figures_.BeginPass();
  const Walked walked = WalkOnce();
  if (walked == Walked::kNotTried) return;
  figures_.EndPass(std::chrono::steady_clock::now() - began);
  if (walked == Walked::kComplete) RoundDone();
}

SNMP_QIRAOID::Walked SNMP_QIRAOID::WalkOnce() {
  session_.peername = const_cast<char*>(peer_address_.c_str());
  root_oid_[9] = device_address_;
  root_oid_len_ = 11;
  if (peer_address_.empty()) return Walked::kNotTried;
  health_.Name(WhoIs());

  std::unique_lock<std::mutex> access(access_mutex_);
  if (!access_) return Walked::kNotTried;  // refused settings, and none usable before them
  // The template points into the settings, which this pass keeps while InitSetting may replace
  // them; opening (engine discovery, for SNMPv3) happens outside the lock.
  const std::shared_ptr<const AccessSettings> settings = access_;
  const unsigned access_changes = access_changes_.load();
  netsnmp_session opening = session_;
  access.unlock();

  // Other settings may reach another agent: its engine is found again.
  if (link_access_changes_ != access_changes) link_.engine_id.clear();
  link_access_changes_ = access_changes;
  const qiraoid::RetransmissionRule rule{settings->adaptive_retransmission,
                                         std::chrono::microseconds(opening.timeout), opening.retries};
  SnmpSession session(opening, rule, link_);
  if (!session.is_open()) {
    snmp_sess_perror("snmpbulkwalk", &opening);
    Tell(health_.Failing(std::string("cannot open a session: ") + snmp_api_errstring(opening.s_snmp_errno)));
    return Walked::kIncomplete;
  }

  Pass pass(*this, session, *settings, access_changes);
  TableWalk walk(root_oid_, root_oid_len_, kQiraoidColumns);
  const RequestShape shape = ShapeOfNextPass();
  const TableWalk::Result result = walk.Run(shape, pass, pass);
  if (result.end == TableWalk::End::kAgentFault) Tell(health_.Failing(result.fault));
  if (result.end != TableWalk::End::kComplete) return Walked::kIncomplete;
  if (shape.is_bulk() && !pass.fell_back()) bulk_rest_ = std::chrono::seconds(0);
  // A table or view that ends early still gives its round, but the operator should know.
  Tell(result.last_column < kQiraoidColumns
           ? health_.Failing("the agent's table ends at column " + std::to_string(result.last_column))
           : health_.Answering());
  return Walked::kComplete;
}

std::string SNMP_QIRAOID::WhoIs() const {
  return "device " + std::to_string(data_id_) + " agent " + peer_address_;
}

// The figures follow the agent's state after every pass and exchange that tells it; the watcher
// hears of the changes that are logged.
void SNMP_QIRAOID::Tell(const std::optional<std::string>& line) {
  figures_.SetAgent(health_.cause());
  if (!line) return;
  WriteLogLine(*line);
  qiraoid::AgentChange change;
  change.device = data_id_;
  change.agent = peer_address_;
  change.state = health_.cause() ? qiraoid::AgentState::kFailing : qiraoid::AgentState::kAnswering;
  change.cause = health_.cause().value_or("");
  change.failed_seconds = std::chrono::duration<double>(health_.last_failure()).count();
  figures_.Tell(change);
}

RequestShape SNMP_QIRAOID::ShapeOfNextPass() const {
  const long repetitions = max_repetitions_.load();
  if (repetitions == 0 || std::chrono::steady_clock::now() < bulk_again_at_) return kOneBindingShape;
  return BulkShape(repetitions);
}
