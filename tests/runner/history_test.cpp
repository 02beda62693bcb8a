// What a run stores (--history), and reading it back: dump as text or CSV, and replay through the
// plug-in's LoadFromCache, whole records only.
#include <chrono>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <stdio.h>

#include <gtest/gtest.h>

#include "event_log.h"
#include "log_lines.h"
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

  ProcessResult RunAgain(std::optional<std::uint64_t> file_size_limit = std::nullopt) const {
    return Subprocess({kRunner, "run", "--plugin", kPlugin, "--config", config_, "--rounds", "2",
                       "--history", history_},
                      file_size_limit)
        .Wait();
  }

  std::string Contents(int device) const {
    std::ifstream file(HistoryOf(device), std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
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

// A zone with a fixed offset that is not UTC's, so that the dump's offset shows.
constexpr const char* kDumpZone = "TZ=Asia/Kolkata";
constexpr const char* kDumpOffset = "+05:30";

// "2026-12-10T20:01:58+05:30": the record's local time, then the dump's zone's offset.
bool IsDumpTime(const std::string& text) {
  return text.size() == 25 && IsRfc3339Time(text) && IsTimeText(text.substr(0, 19), 'T') &&
         text.substr(19) == kDumpOffset;
}

TEST_F(HistoryTest, DumpCsvHasAHeaderAndOneRowPerRecord) {
  const ProcessResult dump = RunProcess({"/usr/bin/env", kDumpZone, kRunner, "dump", HistoryOf(13), "--csv"});
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
    EXPECT_TRUE(IsDumpTime(row[1])) << row[1];
    EXPECT_EQ(row[2], std::to_string(round));                   // c1
    EXPECT_EQ(row[3], "6");                                     // c2
    EXPECT_EQ(row[4], "6.5");                                   // c3
    EXPECT_EQ(row[1 + 324], round == 1 ? "1" : "0");            // c324
    EXPECT_EQ(row[1398], "703.5");                              // c1397
  }
}

TEST_F(HistoryTest, DumpCsvHeadsTheColumnsAMapNamesWithTheirSeries) {
  const std::string map = dir_.Write("columns.map", "1 phase_voltage volts phase=L1 feed=\"A,B\"\n"
                                                    "324 breaker_open  # as the cabinet's manual has it\n"
                                                    "1397 energy_kwh site=\"x \\\"y\\\"\"\n");
  const ProcessResult plain = RunProcess({"/usr/bin/env", kDumpZone, kRunner, "dump", HistoryOf(13), "--csv"});
  const ProcessResult mapped =
      RunProcess({"/usr/bin/env", kDumpZone, kRunner, "dump", HistoryOf(13), "--csv", "--column-map", map});
  ASSERT_EQ(mapped.exit_code, 0) << mapped.err;
  EXPECT_EQ(mapped.err, "");
  std::vector<std::string> lines = Lines(mapped.out);
  ASSERT_EQ(lines.size(), 3u);
  std::string header = "device,time,\"phase_voltage_volts{phase=\"\"L1\"\",feed=\"\"A,B\"\"}\"";
  for (int column = 2; column <= 1396; ++column) header += column == 324 ? ",breaker_open" : ",c" + std::to_string(column);
  EXPECT_EQ(lines[0], header + ",\"energy_kwh{site=\"\"x \\\"\"y\\\"\"\"\"}\"");
  // The rows are the records', whatever the headings.
  lines.erase(lines.begin());
  std::vector<std::string> rows = Lines(plain.out);
  ASSERT_FALSE(rows.empty());
  rows.erase(rows.begin());
  EXPECT_EQ(lines, rows);
}

TEST_F(HistoryTest, DumpTextShowsEveryColumnOfEachRecord) {
  const ProcessResult dump = RunProcess({"/usr/bin/env", kDumpZone, kRunner, "dump", HistoryOf(12)});
  ASSERT_EQ(dump.exit_code, 0) << dump.err;
  const std::vector<std::string> lines = Lines(dump.out);
  ASSERT_EQ(lines.size(), 2u);
  const std::string at = "record 2: device 12 at ";
  ASSERT_GT(lines[1].size(), at.size() + 25);
  EXPECT_EQ(lines[1].substr(0, at.size()), at);
  EXPECT_TRUE(IsDumpTime(lines[1].substr(at.size(), 25))) << lines[1].substr(0, 100);
  EXPECT_EQ(lines[1].substr(at.size() + 25, 21), ": c1=2 c2=5 c3=5.5 c4");
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

// A run killed while storing a record leaves part of it behind: the next run cuts it before its
// first append, so its records follow the earlier ones whole.
TEST_F(HistoryTest, NextRunCutsATornTailAndAppendsWholeRecordsAfterIt) {
  const std::string first = Contents(12).substr(0, kRecordBytes);
  std::ofstream(HistoryOf(12), std::ios::binary | std::ios::app) << first.substr(0, 2000);

  const ProcessResult run = RunAgain();
  ASSERT_EQ(run.exit_code, 0) << run.err;
  const std::string cut =
      "device-12.history: 2000 bytes after record 2 are not a whole record (records are 5599 "
      "bytes); cut before storing more";
  EXPECT_EQ(LinesWith(run.err, cut), 1u) << run.err;
  EXPECT_EQ(run.err.find("device-13.history: "), std::string::npos) << run.err;
  EXPECT_EQ(std::filesystem::file_size(HistoryOf(12)), 4 * kRecordBytes);

  const ProcessResult dump = RunProcess({kRunner, "dump", HistoryOf(12)});
  EXPECT_EQ(dump.exit_code, 0) << dump.err;
  EXPECT_EQ(dump.err, "");
  const std::vector<std::string> lines = Lines(dump.out);
  ASSERT_EQ(lines.size(), 4u);
  for (std::size_t index = 0; index < lines.size(); ++index) {
    const std::string round = " c1=" + std::to_string(index % 2 + 1) + " ";
    EXPECT_NE(lines[index].find(round), std::string::npos) << lines[index].substr(0, 80);
  }
}

// Whole records without dates are some other file: the run neither cuts nor appends to it.
TEST_F(HistoryTest, RunRefusesAFileThatIsNotAHistoryAndLeavesItAsItIs) {
  const std::string other = std::string(kRecordBytes, 'x') + "tail";
  std::ofstream(HistoryOf(13), std::ios::binary | std::ios::trunc) << other;
  const std::string before12 = Contents(12);

  const ProcessResult run = RunAgain();
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(LinesWith(run.err, "device-13.history is not a history file: record 1 (at byte 0)"), 1u)
      << run.err;
  EXPECT_EQ(Contents(13), other);
  EXPECT_EQ(Contents(12), before12);
}

// The file size limit lets the third record's write land only in part: it is cut back, told once
// with the file and the cause, and the rounds after it fail the same way without another line.
TEST_F(HistoryTest, WriteCutShortLeavesWholeRecordsAndOneLine) {
  const std::string before = Contents(12);
  config_ = dir_.Write("config.json", ConfigText({DeviceText(12, "fake:1", 4, 2)}));
  const ProcessResult run = Subprocess({kRunner, "run", "--plugin", kPlugin, "--config", config_,
                                        "--rounds", "5", "--history", history_},
                                       2 * kRecordBytes + 2000)
                                .Wait();
  EXPECT_EQ(run.exit_code, 0) << run.err;
  const std::string told =
      "zrmhost: device 12: cannot store a record in " + HistoryOf(12) + ": File too large; ";
  EXPECT_EQ(LinesWith(run.err, told), 1u) << run.err;
  EXPECT_EQ(LinesWith(run.err, "device 12: "), 1u) << run.err;
  EXPECT_EQ(Contents(12), before);

  const ProcessResult dump = RunProcess({kRunner, "dump", HistoryOf(12)});
  EXPECT_EQ(dump.exit_code, 0);
  EXPECT_EQ(dump.err, "");
  EXPECT_EQ(Lines(dump.out).size(), 2u);
}

// Swapped for a directory while the run goes on, the file takes no records: told once, and once
// more when it is back and takes them again. Waits for lines a while at most, for a broken runner.
TEST_F(HistoryTest, StoringAgainIsToldOnceTheFileIsBack) {
  config_ = dir_.Write("config.json", ConfigText({DeviceText(12, "fake:1", 4, 2)}));
  Subprocess run({kRunner, "run", "--plugin", kPlugin, "--config", config_, "--history", history_});
  const std::string failing =
      "zrmhost: device 12: cannot store a record in " + HistoryOf(12) + ": Is a directory; ";
  const std::string again =
      "zrmhost: device 12: storing its records in " + HistoryOf(12) + " again";
  const auto await = [](const std::function<std::string()>& text, const std::string& line) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (LinesWith(text(), line) == 0 && std::chrono::steady_clock::now() < limit) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  };
  const auto told = [&](const std::string& line) {
    await([&run] { return run.ErrorSoFar(); }, line);
  };
  const std::string aside = dir_.path() + "/aside";
  std::filesystem::create_directory(aside);
  const auto swap = [&] {
    ASSERT_EQ(
        ::renameat2(AT_FDCWD, aside.c_str(), AT_FDCWD, HistoryOf(12).c_str(), RENAME_EXCHANGE), 0);
  };
  // Round 2 printed: the run has opened its history and stored round 1.
  await([&run] { return run.OutputSoFar(); }, "device 12 round 2 ");
  swap();
  told(failing);
  swap();
  told(again);
  run.Signal(SIGTERM);
  const ProcessResult result = run.Wait();
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(LinesWith(result.err, failing), 1u) << result.err;
  EXPECT_EQ(LinesWith(result.err, again), 1u) << result.err;
  EXPECT_EQ(LinesWith(result.err, "device 12: "), 2u) << result.err;

  const ProcessResult dump = RunProcess({kRunner, "dump", HistoryOf(12)});
  EXPECT_EQ(dump.exit_code, 0);
  EXPECT_EQ(dump.err, "");
  EXPECT_GT(Lines(dump.out).size(), 2u);
}

}  // namespace
