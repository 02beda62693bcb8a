// A history that survives crashes: the runner killed with SIGKILL at random moments, run after
// run on the same history, with torn tails made in between (part of a record appended, or the
// last record cut short). After each run, dump reads every record the run reported as stored,
// whole and in order after the records of the runs before it.
#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "event_log.h"
#include "scratch_dir.h"
#include "subprocess.h"

namespace {

const std::string kRunner = ZRMHOST_PATH;
const std::string kPlugin = FAKE_PLUGIN_PATH;
constexpr std::uintmax_t kRecordBytes = 5599;
constexpr int kRuns = 20;

// A record as dump shows it: the run that stored it (told by the device's address, c2 = address
// + 1) and its round (c1).
struct Stored {
  int address;
  int round;
  bool operator==(const Stored& other) const {
    return address == other.address && round == other.round;
  }
};

std::ostream& operator<<(std::ostream& out, const Stored& stored) {
  return out << "address " << stored.address << " round " << stored.round;
}

double Column(const std::string& line, int column) {
  const std::string name = " c" + std::to_string(column) + "=";
  const std::size_t at = line.find(name);
  return at == std::string::npos ? -1 : std::stod(line.substr(at + name.size()));
}

std::vector<Stored> ReadBack(const ProcessResult& dump) {
  std::vector<Stored> records;
  for (const std::string& line : Lines(dump.out)) {
    records.push_back({static_cast<int>(Column(line, 2)) - 1, static_cast<int>(Column(line, 1))});
  }
  return records;
}

int RoundsPrinted(const std::string& output) {
  int printed = 0;
  for (const std::string& line : Lines(output)) {
    if (line.rfind("device 12 round ", 0) == 0) ++printed;
  }
  return printed;
}

// A round's line is printed as the device publishes it, before the round stores its record; so a
// printed round n + 1 tells that round n is stored.
int RoundsReportedStored(const std::string& output) {
  return std::max(RoundsPrinted(output) - 1, 0);
}

class HistoryCrashTest : public ::testing::Test {
 protected:
  std::string Path() const { return history_ + "/device-12.history"; }

  // Starts a run, waits for the chosen number of round lines (20 s at most, a bound for a broken
  // runner) and a little longer, and kills it; gives the rounds it reported as stored.
  int RunAndKill(int address, int lines, std::chrono::microseconds extra) {
    const std::string config =
        dir_.Write("config.json", ConfigText({DeviceText(12, "fake:1", address, 1)}));
    Subprocess run(
        {kRunner, "run", "--plugin", kPlugin, "--config", config, "--history", history_});
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (RoundsPrinted(run.OutputSoFar()) < lines &&
           std::chrono::steady_clock::now() < limit) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::this_thread::sleep_for(extra);
    run.Signal(SIGKILL);
    const ProcessResult result = run.Wait();
    EXPECT_EQ(result.term_signal, SIGKILL) << result.err;
    return RoundsReportedStored(result.out);
  }

  // Leaves the file's last record torn: either part of a record after it, or its own end cut off.
  // Gives whether the last whole record was lost.
  bool TearTail(std::mt19937& random) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(Path(), error);
    if (error || size < kRecordBytes) return false;
    const std::uintmax_t whole = size - size % kRecordBytes;
    const std::uintmax_t part =
        std::uniform_int_distribution<std::uintmax_t>(1, kRecordBytes - 1)(random);
    if (random() % 2 == 0) {
      std::ifstream in(Path(), std::ios::binary);
      std::string record(kRecordBytes, '\0');
      in.seekg(static_cast<std::streamoff>(whole - kRecordBytes));
      in.read(record.data(), static_cast<std::streamsize>(kRecordBytes));
      std::filesystem::resize_file(Path(), whole);
      std::ofstream(Path(), std::ios::binary | std::ios::app) << record.substr(0, part);
      return false;
    }
    std::filesystem::resize_file(Path(), whole - kRecordBytes + part);
    return true;
  }

  ScratchDir dir_;
  const std::string history_ = dir_.path() + "/history";
};

TEST_F(HistoryCrashTest, DumpReadsEveryReportedRecordAfterKillsAndTornTails) {
  std::mt19937 random(23);
  std::vector<Stored> expected;  // what the file held whole after the last run and tear
  for (int run = 0; run < kRuns; ++run) {
    const int address = run + 1;
    const int lines = std::uniform_int_distribution<int>(0, 6)(random);
    const std::chrono::microseconds extra(std::uniform_int_distribution<int>(0, 3000)(random));
    const int reported = RunAndKill(address, lines, extra);
    if (!std::filesystem::exists(Path())) {  // killed before its first record
      ASSERT_TRUE(expected.empty() && reported == 0) << "run " << run;
      continue;
    }

    const ProcessResult dump = RunProcess({kRunner, "dump", Path()});
    ASSERT_EQ(dump.exit_code, 0) << "run " << run << ": " << dump.err;
    const std::vector<Stored> read = ReadBack(dump);
    ASSERT_GE(read.size(), expected.size()) << "run " << run;
    ASSERT_EQ(std::vector<Stored>(read.begin(), read.begin() + expected.size()), expected)
        << "run " << run;
    std::vector<Stored> added(read.begin() + expected.size(), read.end());
    ASSERT_GE(added.size(), static_cast<std::size_t>(reported)) << "run " << run;
    for (std::size_t index = 0; index < added.size(); ++index) {
      ASSERT_EQ(added[index], (Stored{address, static_cast<int>(index) + 1})) << "run " << run;
    }
    expected = read;
    if (TearTail(random)) expected.pop_back();
  }

  const ProcessResult dump = RunProcess({kRunner, "dump", Path()});
  ASSERT_EQ(dump.exit_code, 0) << dump.err;
  EXPECT_EQ(ReadBack(dump), expected);
}

}  // namespace
