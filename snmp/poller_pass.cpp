// One pass: the poller opens a session with the access settings and what it knows of the agent
// from earlier passes (AgentLink), and lets a TableWalk walk the aimed table through it. The
// agent's health is told along the way, and a line is logged only when it changes.
//
//   Pass -> WalkOnce, then the pass's figures
//   +-- SessionOpener::Open (from a copy of the template taken under the access lock)
//   +-- TableWalk::Run (the aim's root, and its last column)
//   |     +-- PassRelay::GetBulk -> the target stamps the sampling time, the session's GetBulk;
//   |     |                         silence: failing
//   |     +-- PassRelay::Store   -> the target's record
//   |     +-- PassRelay::FellBackFromBulk -> one line, a rest in the one-binding shape
//   +-- AgentHealth: failing (fault, refusal, short table) or answering again; Tell logs its line
#include <ctime>

#include <boost/date_time/posix_time/conversion.hpp>

#include "poller.h"
#include "table_walk.h"

namespace qiraoid {

// Between the walk and the session and target of one pass: counts the requests, stamps the
// sampling time, tells the agent's health, and ends a silent pass when the access settings change.
class Poller::PassRelay : public AgentExchange, public WalkSink {
 public:
  // `access` and `access_changes` are the settings the session was opened with, and their count.
  PassRelay(Poller& poller, const PassAim& aim, PollTarget& target, AgentExchange& session,
            const AccessSettings& access, unsigned access_changes)
      : poller_(poller),
        aim_(aim),
        target_(target),
        session_(session),
        private_v3_(access.version == SNMP_VERSION_3 && access.security_level == SNMP_SEC_LEVEL_AUTHPRIV),
        community_(access.version != SNMP_VERSION_3),
        access_changes_(access_changes) {}

  Result GetBulk(const oid* name, size_t name_length, RequestShape shape) override {
    target_.StampSampleTime(LocalSecondNow());
    poller_.figures_.CountRequest();
    Result exchange = session_.GetBulk(name, name_length, shape);
    poller_.figures_.CountRetransmissions(exchange.retransmissions);
    const bool silent = exchange.outcome == Outcome::kTimedOut;
    if (silent) poller_.figures_.CountSilence();
    if (!silent && exchange.outcome != Outcome::kUndecodable) return exchange;
    if (poller_.access_changes_.load() != access_changes_) return {Outcome::kStopped, nullptr};
    // Silence in the bulk shape is told once one binding at the same position is silent too.
    if (!silent) {
      Tell(poller_.health_.Failing(exchange.failure, poller_.clock_.Now()));
    } else if (!shape.is_bulk()) {
      Tell(poller_.health_.Failing(exchange.failure.empty() ? Silence() : exchange.failure, poller_.clock_.Now()));
    }
    return exchange;
  }

  void Store(const Columns& columns) override { target_.Store(columns); }

  void FellBackFromBulk(const char* cause) override {
    fell_back_ = true;
    poller_.RestFromBulk(target_, WhoIs(aim_), cause);
  }

  bool fell_back() const { return fell_back_; }

 private:
  void Tell(const std::optional<std::string>& line) { poller_.Tell(aim_, target_, line); }

  // The local time to the second, as second_clock::local_time gives it, converted once per second
  // rather than once per request: a walk sends hundreds of requests a second.
  boost::posix_time::ptime LocalSecondNow() {
    const std::time_t now = poller_.clock_.CalendarSecond();
    if (now != stamped_second_) {
      std::tm local{};
      if (localtime_r(&now, &local) == nullptr) return boost::posix_time::second_clock::local_time();
      stamp_ = boost::posix_time::ptime_from_tm(local);
      stamped_second_ = now;
    }
    return stamp_;
  }

  // An agent drops what it cannot decrypt without a word, and a v2c agent what carries a
  // community it does not know: a wrong priv passphrase or community is silence.
  std::string Silence() const {
    if (private_v3_) return "no answer within the time-out and its retries (or a wrong priv passphrase)";
    if (community_) return "no answer within the time-out and its retries (or a wrong community)";
    return "no answer within the time-out and its retries";
  }

  Poller& poller_;
  const PassAim& aim_;
  PollTarget& target_;
  AgentExchange& session_;
  const bool private_v3_;
  const bool community_;  // v2c
  const unsigned access_changes_;  // when the pass began
  std::time_t stamped_second_ = -1;
  boost::posix_time::ptime stamp_;
  bool fell_back_ = false;
};

Poller::Walked Poller::WalkOnce(const PassAim& aim, PollTarget& target) {
  if (aim.agent.empty()) return Walked::kNotTried;
  health_.Name(WhoIs(aim));

  MutexLock access(&access_mutex_);
  if (!access_) return Walked::kNotTried;  // refused settings, and none usable before them
  // The template points into the settings, which this pass keeps while UseAccess may replace
  // them; opening (engine discovery, for SNMPv3) happens outside the lock.
  const std::shared_ptr<const AccessSettings> settings = access_;
  const unsigned access_changes = access_changes_.load();
  netsnmp_session opening = session_;
  access.Unlock();
  opening.peername = const_cast<char*>(aim.agent.c_str());

  // Other settings may reach another agent: its engine is found again.
  if (link_access_changes_ != access_changes) link_.engine_id.clear();
  link_access_changes_ = access_changes;
  const RetransmissionRule rule{settings->adaptive_retransmission, std::chrono::microseconds(opening.timeout),
                                opening.retries};
  std::string failure;
  const std::unique_ptr<AgentExchange> session = opener_.Open(opening, rule, link_, stop_.fd(), &failure);
  if (!session) {
    Tell(aim, target, health_.Failing(failure, clock_.Now()));
    return Walked::kIncomplete;
  }

  PassRelay relay(*this, aim, target, *session, *settings, access_changes);
  TableWalk walk(aim.root.data(), aim.root.size(), aim.last_column);
  const RequestShape shape = ShapeOfNextPass();
  const TableWalk::Result result = walk.Run(shape, relay, relay);
  if (result.end == TableWalk::End::kAgentFault) Tell(aim, target, health_.Failing(result.fault, clock_.Now()));
  if (result.end != TableWalk::End::kComplete) return Walked::kIncomplete;
  if (shape.is_bulk() && !relay.fell_back()) bulk_rest_ = std::chrono::seconds(0);
  // A table or view that ends early still gives its round, but the operator should know.
  Tell(aim, target,
       result.last_column < aim.last_column
           ? health_.Failing("the agent's table ends at column " + std::to_string(result.last_column), clock_.Now())
           : health_.Answering(clock_.Now()));
  return Walked::kComplete;
}

std::string Poller::WhoIs(const PassAim& aim) {
  return "device " + std::to_string(aim.device) + " agent " + aim.agent;
}

}  // namespace qiraoid
