// One pass: the device forms the root from its address, opens a session, and lets a TableWalk
// walk the table through it; a complete walk ends with RoundDone.
//
//   do_sample
//   +-- SnmpSession (opened on the agent's address)
//   +-- TableWalk::Run
//   |     +-- Pass::GetBulk -> stamps the sampling time, SnmpSession::GetBulk
//   |     +-- Pass::Store   -> the record's values, under the record's lock
//   |     +-- Pass::FellBackFromBulk -> one log line, one hour in the one-binding shape
//   +-- RoundDone (complete walks only)
#include <boost/date_time/posix_time/posix_time_types.hpp>

#include "log_line.h"
#include "snmp_qiraoid.h"
#include "snmp_session.h"
#include "table_walk.h"

namespace {

constexpr auto kBulkRestsFor = std::chrono::hours(1);

}  // namespace

class SNMP_QIRAOID::Pass : public WalkExchange, public WalkSink {
 public:
  Pass(SNMP_QIRAOID& device, SnmpSession& session) : device_(device), session_(session) {}

  SnmpSession::Exchange GetBulk(const oid* name, size_t name_length, RequestShape shape) override {
    {
      auto guard = device_.GuardRecord();
      device_.sample_time_ = boost::posix_time::second_clock::local_time();
    }
    return session_.GetBulk(name, name_length, shape, device_.stop_.fd());
  }

  void Store(const Columns& columns) override {
    auto guard = device_.GuardRecord();
    for (const auto& [column, value] : columns) device_.data_.value[column - 1] = value;
  }

  void FellBackFromBulk(const char* cause) override {
    device_.bulk_again_at_ = std::chrono::steady_clock::now() + kBulkRestsFor;
    LogLine("device ", device_.data_id_, " agent ", device_.peer_address_,
            ": falls back from the bulk shape to one binding per request for an hour: ", cause);
  }

 private:
  SNMP_QIRAOID& device_;
  SnmpSession& session_;
};

void SNMP_QIRAOID::do_sample() {
  LogLine("SNMP_QIRAOID::do_sample");
  session_.peername = const_cast<char*>(peer_address_.c_str());
  root_oid_[9] = device_address_;
  root_oid_len_ = 11;
  if (peer_address_.empty()) return;

  SnmpSession session(session_);
  if (!session.is_open()) {
    snmp_sess_perror("snmpbulkwalk", &session_);
    return;
  }
  Pass pass(*this, session);
  TableWalk walk(root_oid_, root_oid_len_);
  if (walk.Run(ShapeOfNextPass(), pass, pass) == TableWalk::End::kComplete) RoundDone();
}

RequestShape SNMP_QIRAOID::ShapeOfNextPass() const {
  const long repetitions = max_repetitions_.load();
  if (repetitions == 0 || std::chrono::steady_clock::now() < bulk_again_at_) return kOneBindingShape;
  return BulkShape(repetitions);
}
