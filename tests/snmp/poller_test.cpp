// The poller's decisions on a fake clock and a scripted agent, without a host and without waiting:
// the pause after each pass, the bulk rest and its doubling, the health lines and their durations,
// settings that change during a silent pass, a refusing agent, and the stop.
#include <atomic>
#include <chrono>
#include <ctime>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include <boost/date_time/posix_time/conversion.hpp>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "access_settings.h"
#include "fake_poll_clock.h"
#include "parse_json.h"
#include "poller.h"
#include "scripted_opener.h"

namespace qiraoid {
namespace {

using ::testing::ElementsAre;
using Walked = Poller::Walked;
using namespace std::chrono_literals;

const Name kRoot = {1, 3, 6, 1, 4, 1, 61333, 1, 1, 4, 0};
const Name kBeyond = {1, 3, 6, 1, 4, 1, 61333, 1, 1, 5, 0, 1};
constexpr oid kColumns = 3;
const std::string kWho = "device 12 agent udp:127.0.0.1:16100";

// A table of kColumns columns, one binding per answer whatever the shape: 4 requests a pass.
AgentExchange::Result TableAnswer(const ScriptedOpener::Request& request) {
  const oid next = request.name.size() == kRoot.size() ? 1 : request.name[kRoot.size()] + 1;
  if (next > kColumns) return Answer({{kBeyond, ASN_OCTET_STR, "0"}});
  Name name = kRoot;
  name.push_back(next);
  return Answer({{name, ASN_OCTET_STR, std::to_string(next)}});
}

std::shared_ptr<const AccessSettings> Settings(const std::string& members) {
  return std::make_shared<const AccessSettings>(
      std::get<AccessSettings>(ReadAccessSettings(ParseJson("{" + members + "}"))));
}

// One device's poller on a fake clock, its agent scripted by `script`.
struct Rig {
  Walked Pass() { return poller.Pass(aim, kept); }

  ScriptedOpener::Script script = TableAnswer;
  FakePollClock clock;
  ScriptedOpener opener{[this](const ScriptedOpener::Request& request) { return script(request); }};
  Poller poller{clock, opener};
  PassAim aim{12, "udp:127.0.0.1:16100", {kRoot.begin(), kRoot.end()}, kColumns};
  KeptPass kept;
};

// Each request is stamped with the local time of the poller's clock, to the second.
TEST(Poller, PassStoresTheColumnsAndStampsEachRequest) {
  Rig rig;
  const std::time_t start = rig.clock.CalendarSecond();
  rig.script = [&](const ScriptedOpener::Request& request) {
    if (rig.opener.requests().size() == 3) rig.clock.Advance(1s);
    return TableAnswer(request);
  };
  EXPECT_EQ(rig.Pass(), Walked::kComplete);
  EXPECT_EQ(rig.kept.columns, (std::map<oid, float>{{1, 1.0f}, {2, 2.0f}, {3, 3.0f}}));
  const auto local = [](std::time_t second) {
    std::tm parts{};
    localtime_r(&second, &parts);
    return boost::posix_time::ptime_from_tm(parts);
  };
  EXPECT_THAT(rig.kept.stamps, ElementsAre(local(start), local(start), local(start), local(start + 1)));
  EXPECT_EQ(rig.kept.log, "");
  EXPECT_EQ(rig.poller.Figures().passes, 1u);
  EXPECT_EQ(rig.poller.Figures().last_pass.requests, 4u);
}

// A device without an agent address, or without usable settings, does not poll, and the pass is
// not counted.
TEST(Poller, PassIsNotTriedWithoutAnAgentOrSettings) {
  const struct {
    const char* why;
    std::string agent;
    bool settings;
  } rows[] = {{"no agent address", "", true}, {"no usable settings", "udp:127.0.0.1:16100", false}};
  for (const auto& row : rows) {
    Rig rig;
    rig.aim.agent = row.agent;
    if (!row.settings) rig.poller.UseAccess(nullptr);
    EXPECT_EQ(rig.Pass(), Walked::kNotTried) << row.why;
    EXPECT_TRUE(rig.opener.opened().empty()) << row.why;
    EXPECT_EQ(rig.poller.Figures().passes, 0u) << row.why;
  }
}

// The loop pauses 5 s after each pass; a stop ends it at once, whether it comes during an exchange
// (the pass ends there) or after a pass (no pause follows).
TEST(Poller, LoopPausesAfterEachPassAndStopsAtOnce) {
  const struct {
    const char* when;
    size_t stop_at_request;  // 0: stop after the pass instead
    Walked last_pass;
    size_t requests;
  } rows[] = {{"during the third pass's second exchange", 10, Walked::kIncomplete, 10},
              {"after the third pass", 0, Walked::kComplete, 12}};
  for (const auto& row : rows) {
    Rig rig;
    rig.script = [&](const ScriptedOpener::Request& request) {
      if (rig.opener.requests().size() == row.stop_at_request) rig.poller.Stop();
      return TableAnswer(request);
    };
    std::vector<Walked> passes;
    rig.poller.Run([&] {
      passes.push_back(rig.Pass());
      if (passes.size() == 3 && row.stop_at_request == 0) rig.poller.Stop();
    });
    EXPECT_THAT(passes, ElementsAre(Walked::kComplete, Walked::kComplete, row.last_pass)) << row.when;
    EXPECT_EQ(rig.opener.requests().size(), row.requests) << row.when;
    EXPECT_THAT(rig.clock.pauses(), ElementsAre(5s, 5s)) << row.when;
    EXPECT_EQ(rig.clock.elapsed(), 10s) << row.when;
  }
}

TEST(RealPollClock, StopEndsAPauseOfAnHour) {
  RealPollClock clock;
  SamplingStop stop;
  std::atomic<bool> raised{false};
  std::thread pausing([&] { raised = clock.Pause(1h, stop); });
  stop.Raise();
  pausing.join();
  EXPECT_TRUE(raised);
}

// An agent that refuses the bulk shape (genErr to a bulk request, one binding at the same position
// answered) is asked one binding at a time for a rest: 1 minute, doubling with each refusal in a
// row up to an hour; the bulk shape is tried again once the rest is over, and a complete bulk pass
// ends the row. A pass in the one-binding shape during the rest does not end it.
TEST(Poller, BulkRestDoublesUpToAnHourAndEndsWithACompleteBulkPass) {
  Rig rig;
  bool refuses = false;
  rig.script = [&](const ScriptedOpener::Request& request) {
    if (refuses && request.shape.is_bulk()) return Answer({}, SNMP_ERR_GENERR);
    return TableAnswer(request);
  };
  rig.poller.SetMaxRepetitions(10);
  const struct {
    std::chrono::seconds wait;  // before the pass
    bool refuses;
    bool bulk;         // the pass starts in the bulk shape
    const char* rest;  // the fallback line's rest, or nothing
  } passes[] = {
      {0s, true, true, "1 min 0 s"},   {59s, false, false, nullptr},   {1s, true, true, "2 min 0 s"},
      {2min, true, true, "4 min 0 s"}, {4min, true, true, "8 min 0 s"}, {8min, true, true, "16 min 0 s"},
      {16min, true, true, "32 min 0 s"}, {32min, true, true, "1 h 0 min"}, {1h - 1s, true, false, nullptr},
      {1s, true, true, "1 h 0 min"},   {1h, false, true, nullptr},     {0s, true, true, "1 min 0 s"},
  };
  int row = 0;
  for (const auto& pass : passes) {
    ++row;
    rig.clock.Advance(pass.wait);
    refuses = pass.refuses;
    rig.kept.log.clear();
    const size_t first = rig.opener.requests().size();
    EXPECT_EQ(rig.Pass(), Walked::kComplete) << "row " << row;
    EXPECT_EQ(rig.opener.requests().at(first).shape.is_bulk(), pass.bulk) << "row " << row;
    const std::string line =
        pass.rest == nullptr
            ? ""
            : kWho + ": falls back from the bulk shape to one binding per request for " + pass.rest + ": ";
    EXPECT_EQ(rig.kept.log.rfind(line, 0), 0u) << "row " << row << "\n" << rig.kept.log;
    if (pass.rest == nullptr) {
      EXPECT_EQ(rig.kept.log, "") << "row " << row;
    }
    EXPECT_EQ(rig.poller.Figures().last_pass.bulk_give_ups, pass.rest == nullptr ? 0u : 1u) << "row " << row;
  }
}

// Failing from the first silence told to the answer, on the poller's clock: the recovery line
// names how long, and the pass took as long.
TEST(Poller, HealthLinesTellHowLongTheAgentFailed) {
  const struct {
    std::chrono::seconds silence;
    const char* told;
  } rows[] = {{12s, "12 s"}, {3min + 20s, "3 min 20 s"}, {2h + 5min + 59s, "2 h 5 min"}};
  for (const auto& row : rows) {
    Rig rig;
    rig.script = [&](const ScriptedOpener::Request& request) {
      const size_t sent = rig.opener.requests().size();
      if (sent == 2) rig.clock.Advance(row.silence);
      return sent <= 2 ? Silence() : TableAnswer(request);
    };
    EXPECT_EQ(rig.Pass(), Walked::kComplete);
    EXPECT_EQ(rig.kept.log, kWho + ": failing: no answer within the time-out and its retries (or a wrong community)\n" +
                                kWho + ": answering again after failing for " + row.told + "\n");
    const DriverFigures figures = rig.poller.Figures();
    EXPECT_EQ(figures.last_pass.seconds, std::chrono::duration<double>(row.silence).count()) << row.told;
    EXPECT_EQ(figures.agent, AgentState::kAnswering) << row.told;
  }
}

// A refusal ends the pass at its first request in either shape, with no fallback and no silence
// counted; the loop asks again after its usual pause, tells the cause once, and walks the agent
// once it listens.
TEST(Poller, RefusedAgentIsAskedAgainAfterThePauseAndToldOnce) {
  const std::string refusal = "nothing listens at udp:127.0.0.1:16100: port unreachable";
  for (const long repetitions : {0L, 10L}) {
    Rig rig;
    rig.poller.SetMaxRepetitions(repetitions);
    bool listening = false;
    rig.script = [&](const ScriptedOpener::Request& request) {
      if (listening) return TableAnswer(request);
      return AgentExchange::Result{AgentExchange::Outcome::kRefused, nullptr, refusal};
    };
    std::vector<Walked> passes;
    rig.poller.Run([&] {
      passes.push_back(rig.Pass());
      listening = passes.size() == 3;
      if (passes.size() == 4) rig.poller.Stop();
    });
    EXPECT_THAT(passes, ElementsAre(Walked::kIncomplete, Walked::kIncomplete, Walked::kIncomplete, Walked::kComplete))
        << repetitions;
    EXPECT_THAT(rig.clock.pauses(), ElementsAre(5s, 5s, 5s)) << repetitions;
    ASSERT_EQ(rig.opener.requests().size(), 3u + 4u) << repetitions;
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(rig.opener.requests()[i].shape.is_bulk(), repetitions != 0);
    EXPECT_EQ(rig.kept.log,
              kWho + ": failing: " + refusal + "\n" + kWho + ": answering again after failing for 15 s\n");
    const DriverFigures figures = rig.poller.Figures();
    EXPECT_EQ(figures.totals.silences, 0u) << repetitions;
    EXPECT_EQ(figures.totals.bulk_give_ups, 0u) << repetitions;
  }
}

// New settings end a pass facing a silent agent at once; the next pass opens its session with
// them and finds the agent's engine again, while a pass with the same settings keeps the engine.
TEST(Poller, SettingsChangedMidPassEndASilentPassAndTakeEffectNext) {
  Rig rig;
  rig.script = [&](const ScriptedOpener::Request&) {
    if (rig.opener.requests().size() == 3) {
      rig.poller.UseAccess(Settings(R"("community":"second","timeout_seconds":"0.5")"));
    }
    return Silence();
  };
  EXPECT_EQ(rig.Pass(), Walked::kIncomplete);
  EXPECT_EQ(rig.opener.requests().size(), 3u) << "the pass ends with the exchange that saw the change";
  rig.script = TableAnswer;
  EXPECT_EQ(rig.Pass(), Walked::kComplete);
  EXPECT_EQ(rig.Pass(), Walked::kComplete);
  const auto& opened = rig.opener.opened();
  ASSERT_EQ(opened.size(), 3u);
  EXPECT_EQ(opened[0].community, "qondel");
  EXPECT_EQ(opened[0].timeout_us, 10 * 1000 * 1000);
  EXPECT_FALSE(opened[0].engine_known);
  EXPECT_EQ(opened[1].community, "second");
  EXPECT_EQ(opened[1].timeout_us, 500 * 1000);
  EXPECT_FALSE(opened[1].engine_known) << "other settings may reach another agent";
  EXPECT_EQ(opened[2].community, "second");
  EXPECT_TRUE(opened[2].engine_known);
  EXPECT_EQ(rig.opener.discoveries(), 2);
}

}  // namespace
}  // namespace qiraoid
