// The walk's decisions, handed canned answers: where each request starts, how a pass ends, and
// when the bulk shape is given up.
#include <deque>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "canned_exchange.h"
#include "table_walk.h"

namespace qiraoid {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Pair;
using Outcomes = std::deque<AgentExchange::Result>;

const Name kRoot = {1, 3, 6, 1, 4, 1, 61333, 1, 1, 4, 0};
const Name kBeyond = {1, 3, 6, 1, 4, 1, 61333, 1, 1, 4, 1, 1};
constexpr oid kLastColumn = 1397;  // the cabinet's

Name Column(oid k, Name tail = {}) {
  Name name = kRoot;
  name.push_back(k);
  name.insert(name.end(), tail.begin(), tail.end());
  return name;
}

CannedBinding Text(Name name, std::string text) { return {std::move(name), ASN_OCTET_STR, std::move(text)}; }
CannedBinding Exception(Name name, u_char type) { return {std::move(name), type, {}}; }

struct Walked {
  TableWalk::End end;
  std::string fault;
  oid last_column;
  std::vector<CannedExchange::Request> requests;
  KeptColumns sink;
};

Walked Walk(Outcomes outcomes, RequestShape shape = kOneBindingShape) {
  CannedExchange exchange(std::move(outcomes));
  Walked walked{};
  TableWalk walk(kRoot.data(), kRoot.size(), kLastColumn);
  const TableWalk::Result result = walk.Run(shape, exchange, walked.sink);
  walked.end = result.end;
  walked.fault = result.fault;
  walked.last_column = result.last_column;
  walked.requests = exchange.requests();
  return walked;
}

template <typename... Exchanges>
Outcomes Of(Exchanges... exchanges) {
  Outcomes outcomes;
  (outcomes.push_back(std::move(exchanges)), ...);
  return outcomes;
}

std::vector<Name> Names(const Walked& walked) {
  std::vector<Name> names;
  for (const auto& request : walked.requests) names.push_back(request.name);
  return names;
}

std::vector<long> Repetitions(const Walked& walked) {
  std::vector<long> shapes;  // 0 for one binding
  for (const auto& request : walked.requests) shapes.push_back(request.shape.is_bulk() ? request.shape.repetitions : 0);
  return shapes;
}

TEST(TableWalk, HowAPassEnds) {
  using End = TableWalk::End;
  const auto fault_after_one = [](AgentExchange::Result answer) { return Of(Answer({Text(Column(1), "1")}), std::move(answer)); };
  struct Row {
    const char* what;
    std::function<Outcomes()> outcomes;
    RequestShape shape;
    End end;
    size_t requests;
    std::string fault;  // what the operator is told
  };
  const std::string column1 = "1.3.6.1.4.1.61333.1.1.4.0.1";
  const Row rows[] = {
      {"OID outside the root", [] { return Of(Answer({Text(Column(1), "1"), Text(kBeyond, "0")})); },
       kOneBindingShape, End::kComplete, 1, ""},
      {"endOfMibView", [&] { return fault_after_one(Answer({Exception(Column(1), SNMP_ENDOFMIBVIEW)})); },
       kOneBindingShape, End::kComplete, 2, ""},
      {"error status", [&] { return fault_after_one(Answer({Text(Column(2), "2")}, SNMP_ERR_NOSUCHNAME)); },
       kOneBindingShape, End::kAgentFault, 2, "error status 2 (noSuchName) at OID " + column1},
      {"error status other than tooBig or genErr in the bulk shape",
       [&] { return fault_after_one(Answer({Text(Column(2), "2")}, SNMP_ERR_NOSUCHNAME)); }, BulkShape(10),
       End::kAgentFault, 2, "error status 2 (noSuchName)"},
      {"no bindings", [&] { return fault_after_one(Answer({})); }, kOneBindingShape, End::kAgentFault, 2,
       "an answer without bindings after OID " + column1},
      {"exceptions only",
       [&] {
         return fault_after_one(Answer({Exception(Column(2), SNMP_NOSUCHOBJECT), Exception(Column(3), SNMP_NOSUCHINSTANCE)}));
       },
       kOneBindingShape, End::kAgentFault, 2, "an answer of exceptions only after OID " + column1},
      {"OID repeats the request", [&] { return fault_after_one(Answer({Text(Column(1), "9")})); },
       kOneBindingShape, End::kAgentFault, 2, "OID " + column1 + " does not follow OID " + column1},
      {"OID goes back", [&] { return fault_after_one(Answer({Text({1, 3, 6, 1, 2, 1}, "9")})); },
       kOneBindingShape, End::kAgentFault, 2, "OID 1.3.6.1.2.1 does not follow"},
      {"OIDs out of order", [&] { return fault_after_one(Answer({Text(Column(5), "5"), Text(Column(4), "4")})); },
       kOneBindingShape, End::kAgentFault, 2, "does not follow OID 1.3.6.1.4.1.61333.1.1.4.0.5"},
      {"request not sent",
       [&] { return fault_after_one({AgentExchange::Outcome::kFailed, nullptr, "the request could not be sent"}); },
       kOneBindingShape, End::kAgentFault, 2, "the request could not be sent"},
      {"stopped while waiting", [&] { return fault_after_one({AgentExchange::Outcome::kStopped, nullptr}); },
       kOneBindingShape, End::kStopped, 2, ""},
      {"no table: the first binding outside the root", [] { return Of(Answer({Text(kBeyond, "0")})); },
       kOneBindingShape, End::kAgentFault, 1, "the agent has no table at OID 1.3.6.1.4.1.61333.1.1.4.0"},
      {"no table: endOfMibView at once", [] { return Of(Answer({Exception(kRoot, SNMP_ENDOFMIBVIEW)})); },
       BulkShape(10), End::kAgentFault, 1, "the agent has no table at OID 1.3.6.1.4.1.61333.1.1.4.0"},
      {"genErr in both shapes", [] { return Of(Answer({}, SNMP_ERR_GENERR), Answer({}, SNMP_ERR_GENERR)); },
       BulkShape(10), End::kAgentFault, 2, "error status 5 (genErr)"},
  };
  for (const Row& row : rows) {
    const Walked walked = Walk(row.outcomes(), row.shape);
    EXPECT_EQ(walked.end, row.end) << row.what;
    EXPECT_EQ(walked.requests.size(), row.requests) << row.what;
    EXPECT_TRUE(walked.sink.fallbacks.empty()) << row.what;
    if (row.fault.empty()) {
      EXPECT_EQ(walked.fault, "") << row.what;
    } else {
      EXPECT_THAT(walked.fault, HasSubstr(row.fault)) << row.what;
    }
  }
}

// Bindings are taken in order until one breaks the walk; those before it are kept.
TEST(TableWalk, ColumnsBeforeABrokenBindingAreKept) {
  const Walked walked = Walk(Of(Answer({Text(Column(5), "5"), Text(Column(4), "4")})));
  EXPECT_EQ(walked.end, TableWalk::End::kAgentFault);
  EXPECT_THAT(walked.sink.stored, ElementsAre(Pair(5u, 5.0f)));
}

TEST(TableWalk, OnlyTheSubIdentifierAfterTheRootNamesTheColumn) {
  const Walked walked = Walk(Of(
      Answer({Text(Column(0), "99"), Text(Column(7, {0}), "230.5"), Exception(Column(8), SNMP_NOSUCHINSTANCE),
              Text(Column(1397), "1"), Text(Column(1398), "55")}),
      Answer({Text(kBeyond, "77"), Text({1, 3, 6, 1, 4, 1, 61333, 1, 1, 4, 2}, "88")})));
  EXPECT_EQ(walked.end, TableWalk::End::kComplete);
  EXPECT_THAT(walked.sink.stored, ElementsAre(Pair(7u, 230.5f), Pair(1397u, 1.0f)));
  EXPECT_EQ(walked.last_column, 1397u);
  EXPECT_THAT(Names(walked), ElementsAre(kRoot, Column(1398)));
}

TEST(TableWalk, SilenceAsksForTheSamePositionAgain) {
  const Walked walked = Walk(Of(Answer({Text(Column(1), "1")}), Silence(), Silence(), Answer({Text(kBeyond, "0")})));
  EXPECT_EQ(walked.end, TableWalk::End::kComplete);
  EXPECT_THAT(Names(walked), ElementsAre(kRoot, Column(1), Column(1), Column(1)));
  EXPECT_TRUE(walked.sink.fallbacks.empty());
}

// genErr to a bulk request where one binding at the same position, asked right after, is answered
// gives the bulk shape up with one fallback; so does silence to bulk requests twice, with one
// binding answered after each and no bulk answer between. The rest of the pass asks for one
// binding at a time, and the round still comes.
TEST(TableWalk, BulkShapeIsGivenUpWhenOneBindingIsAnsweredWhereBulkFailed) {
  const Walked gen_err = Walk(Of(Answer({Text(Column(1), "1"), Text(Column(2), "2")}), Answer({}, SNMP_ERR_GENERR),
                                 Answer({Text(Column(3), "3")}), Answer({Text(kBeyond, "0")})),
                              BulkShape(10));
  EXPECT_EQ(gen_err.end, TableWalk::End::kComplete);
  ASSERT_EQ(gen_err.sink.fallbacks.size(), 1u);
  EXPECT_THAT(gen_err.sink.fallbacks[0], HasSubstr("genErr"));
  EXPECT_THAT(Names(gen_err), ElementsAre(kRoot, Column(2), Column(2), Column(3)));
  EXPECT_THAT(Repetitions(gen_err), ElementsAre(10, 10, 0, 0));
  EXPECT_THAT(gen_err.sink.stored, ElementsAre(Pair(1u, 1.0f), Pair(2u, 2.0f), Pair(3u, 3.0f)));

  const Walked silent = Walk(Of(Answer({Text(Column(1), "1")}), Silence(), Answer({Text(Column(2), "2")}), Silence(),
                                Answer({Text(Column(3), "3")}), Answer({Text(kBeyond, "0")})),
                             BulkShape(10));
  EXPECT_EQ(silent.end, TableWalk::End::kComplete);
  ASSERT_EQ(silent.sink.fallbacks.size(), 1u);
  EXPECT_THAT(silent.sink.fallbacks[0], HasSubstr("no answer"));
  EXPECT_THAT(Names(silent), ElementsAre(kRoot, Column(1), Column(1), Column(2), Column(2), Column(3)));
  EXPECT_THAT(Repetitions(silent), ElementsAre(10, 10, 0, 10, 0, 0));
  EXPECT_THAT(silent.sink.stored, ElementsAre(Pair(1u, 1.0f), Pair(2u, 2.0f), Pair(3u, 3.0f)));
}

// An agent that comes back between a silent bulk request and the one binding after it keeps the
// bulk shape once its next bulk request is answered.
TEST(TableWalk, BulkAnsweredAfterOneSilenceKeepsTheBulkShape) {
  const Walked walked = Walk(Of(Answer({Text(Column(1), "1")}), Silence(), Answer({Text(Column(2), "2")}),
                                Answer({Text(Column(3), "3")}), Silence(), Answer({Text(Column(4), "4")}),
                                Answer({Text(kBeyond, "0")})),
                             BulkShape(10));
  EXPECT_EQ(walked.end, TableWalk::End::kComplete);
  EXPECT_TRUE(walked.sink.fallbacks.empty());
  EXPECT_THAT(Repetitions(walked), ElementsAre(10, 10, 0, 10, 10, 0, 10));
}

// Silence is not refusal: an agent silent in both shapes is away, and once back it is asked in the
// bulk shape again, from the same position. An answer the library cannot decode is asked again in
// the bulk shape without trying one binding.
TEST(TableWalk, SilenceAndUndecodableAnswersKeepTheBulkShape) {
  const Walked walked = Walk(Of(Answer({Text(Column(1), "1")}), Silence(), Silence(),
                                AgentExchange::Result{AgentExchange::Outcome::kUndecodable, nullptr, "undecodable"},
                                Answer({Text(Column(2), "2")}), Answer({Text(kBeyond, "0")})),
                             BulkShape(10));
  EXPECT_EQ(walked.end, TableWalk::End::kComplete);
  EXPECT_TRUE(walked.sink.fallbacks.empty());
  EXPECT_THAT(Names(walked), ElementsAre(kRoot, Column(1), Column(1), Column(1), Column(1), Column(2)));
  EXPECT_THAT(Repetitions(walked), ElementsAre(10, 10, 0, 10, 10, 10));
}

// tooBig halves the repetitions at the same position, down to one; tooBig to one repetition gives
// the bulk shape up.
TEST(TableWalk, TooBigHalvesTheRepetitionsThenGivesTheBulkShapeUp) {
  const auto too_big = [] { return Answer({}, SNMP_ERR_TOOBIG); };
  const Walked halved = Walk(Of(too_big(), too_big(), Answer({Text(Column(1), "1")}), Answer({Text(kBeyond, "0")})),
                             BulkShape(5));
  EXPECT_EQ(halved.end, TableWalk::End::kComplete);
  EXPECT_TRUE(halved.sink.fallbacks.empty());
  EXPECT_THAT(Names(halved), ElementsAre(kRoot, kRoot, kRoot, Column(1)));
  EXPECT_THAT(Repetitions(halved), ElementsAre(5, 2, 1, 1));

  const Walked given_up = Walk(Of(too_big(), too_big(), Answer({Text(Column(1), "1")}), Answer({Text(kBeyond, "0")})),
                               BulkShape(2));
  EXPECT_EQ(given_up.end, TableWalk::End::kComplete);
  ASSERT_EQ(given_up.sink.fallbacks.size(), 1u);
  EXPECT_THAT(given_up.sink.fallbacks[0], HasSubstr("tooBig"));
  EXPECT_THAT(Repetitions(given_up), ElementsAre(2, 1, 0, 0));
}

}  // namespace
}  // namespace qiraoid
