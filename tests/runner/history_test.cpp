// What a run stores (--history), and reading it back: dump as text or CSV, and replay through the
// plug-in's LoadFromCache, whole records only.
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "event_log.h"
#include "scratch_dir.h"
#include "subprocess.h"

namespace {

const std::string kRunner = ZRMHOST_PATH;
const std::string kPlugin = FAKE_PLUGIN_PATH;
constexpr std::uintmax_t kRecordBytes = 5599;

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  std::istringstream stream(line);
  for (std::string field; std::getline(stream, field, ',');) fields.push_back(field);
  return fields;
}

// Two devices of two rounds each, stored by a run in a directory the run had to create.
class HistoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    config_ = dir_.Write("config.json", ConfigText({DeviceText(12, "fake2:10", 4, 2),
                                                    DeviceText(13, "fake2:10", 5, 1)}));
    history_ = dir_.path() + "/stored/rounds";
    const ProcessResult run = RunProcess({kRunner, "run", "--plugin", kPlugin, "--config", config_,
                                          "--rounds", "2", "--history", history_});
    ASSERT_EQ(run.exit_code, 0) << run.err;
  }

  std::string HistoryOf(int device) const {
    return history_ + "/device-" + std::to_string(device) + ".history";
  }

  ProcessResult Replay() const {
    return RunProcess({kRunner, "replay", "--plugin", kPlugin, "--config", config_, "--history",
                       history_, "--json"});
  }

  void TearTail(int device, std::size_t bytes) const {
    std::ofstream(HistoryOf(device), std::ios::binary | std::ios::app) << std::string(bytes, 'x');
  }

  ScratchDir dir_;
  std::string config_;
  std::string history_;
};

TEST_F(HistoryTest, RunStoresEachRoundAsOneWholeRecord) {
  EXPECT_EQ(std::filesystem::file_size(HistoryOf(12)), 2 * kRecordBytes);
  EXPECT_EQ(std::filesystem::file_size(HistoryOf(13)), 2 * kRecordBytes);
}

TEST_F(HistoryTest, DumpCsvHasAHeaderAndOneRowPerRecord) {
  const ProcessResult dump = RunProcess({kRunner, "dump", HistoryOf(13), "--csv"});
  ASSERT_EQ(dump.exit_code, 0) << dump.err;
  const std::vector<std::string> lines = Lines(dump.out);
  ASSERT_EQ(lines.size(), 3u);

  const std::vector<std::string> header = Fields(lines[0]);
  ASSERT_EQ(header.size(), 1399u);
  EXPECT_EQ(header[0], "device");
  EXPECT_EQ(header[1], "time");
  EXPECT_EQ(header[2], "c1");
  EXPECT_EQ(header[1398], "c1397");
  for (int round = 1; round <= 2; ++round) {
    const std::vector<std::string> row = Fields(lines[round]);
    ASSERT_EQ(row.size(), 1399u);
    EXPECT_EQ(row[0], "13");
    EXPECT_TRUE(IsTimeText(row[1], ' ')) << row[1];
    EXPECT_EQ(row[2], std::to_string(round));                   // c1
    EXPECT_EQ(row[3], "6");                                     // c2
    EXPECT_EQ(row[4], "6.5");                                   // c3
    EXPECT_EQ(row[1 + 324], round == 1 ? "1" : "0");            // c324
    EXPECT_EQ(row[1398], "703.5");                              // c1397
  }
}

TEST_F(HistoryTest, DumpTextShowsEveryColumnOfEachRecord) {
  const ProcessResult dump = RunProcess({kRunner, "dump", HistoryOf(12)});
  ASSERT_EQ(dump.exit_code, 0) << dump.err;
  const std::vector<std::string> lines = Lines(dump.out);
  ASSERT_EQ(lines.size(), 2u);
  const std::string at = "record 2: device 12 at ";
  ASSERT_GT(lines[1].size(), at.size() + 19);
  EXPECT_EQ(lines[1].substr(0, at.size()), at);
  EXPECT_TRUE(IsTimeText(lines[1].substr(at.size(), 19), ' ')) << lines[1].substr(0, 100);
  EXPECT_EQ(lines[1].substr(at.size() + 19, 21), ": c1=2 c2=5 c3=5.5 c4");
  EXPECT_NE(lines[1].find(" c324=0 c325=0 c326=167 "), std::string::npos);
  EXPECT_TRUE(lines[1].size() > 12 && lines[1].substr(lines[1].size() - 12) == " c1397=702.5")
      << lines[1].substr(lines[1].size() - 40);
}

TEST_F(HistoryTest, ReplayGivesTheStoredRoundsAndTheirAlarmChangesWithoutWalking) {
  const ProcessResult replay = Replay();
  ASSERT_EQ(replay.exit_code, 0) << replay.err;
  const std::vector<Json::Value> events = ParseJsonLines(replay.out);
  EXPECT_EQ(EventsOf(events, 12), (std::vector<std::string>{"round 1", "alarm 1 on", "alarm 82 on",
                                                            "round 2", "alarm 82 off"}));
  EXPECT_EQ(EventsOf(events, 13), (std::vector<std::string>{"round 1", "round 2"}));
  const std::vector<Json::Value> rounds = RoundsOf(events, 13);
  ASSERT_EQ(rounds.size(), 2u);
  EXPECT_EQ(rounds[1]["values"][0].asDouble(), 2.0);
  EXPECT_EQ(rounds[1]["values"][1396].asDouble(), 703.5);
  // Replayed devices are given no agent, so they never walk on their own.
  EXPECT_EQ(replay.err.find("walked"), std::string::npos) << replay.err;
}

// A torn tail is named, not a reason to refuse the records before it.
TEST_F(HistoryTest, TornTailIsReportedAndTheWholeRecordsStillUsed) {
  TearTail(12, 100);
  const std::string torn = "device-12.history: 100 bytes after record 2 are not a whole record";

  const ProcessResult dump = RunProcess({kRunner, "dump", HistoryOf(12), "--csv"});
  EXPECT_EQ(dump.exit_code, 0);
  EXPECT_EQ(Lines(dump.out).size(), 3u);
  EXPECT_NE(dump.err.find(torn), std::string::npos) << dump.err;

  const ProcessResult replay = Replay();
  EXPECT_EQ(replay.exit_code, 0);
  EXPECT_EQ(RoundsOf(ParseJsonLines(replay.out), 12).size(), 2u);
  EXPECT_NE(replay.err.find(torn), std::string::npos) << replay.err;
}

}  // namespace
