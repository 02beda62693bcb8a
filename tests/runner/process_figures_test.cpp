// /proc/self/stat as the kernel writes it, with command names that hold spaces and parentheses,
// and text that is not a stat line; then this process' own figures, which must be plausible.
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "process_figures.h"

namespace qiraoid {
namespace {

// The fields after the command name, from the state to rss, then a few more.
constexpr char kFields[] =
    " S 1 4242 4242 0 -1 4194560 2047 0 3 0 1534 287 0 0 20 0 3 0 98765 224051200 3109 18446744073709551615 1 1 0 0";

struct StatCase {
  const char* what;
  std::string text;
  std::optional<ProcessStat> expected;
};

TEST(ProcessStat, ParsesTheFieldsAfterTheLastParenthesis) {
  const ProcessStat stat{1534, 287, 98765, 224051200, 3109};
  const StatCase cases[] = {
      {"plain name", std::string("4242 (zrmhost)") + kFields + "\n", stat},
      {"name with spaces", std::string("4242 (zrm host run)") + kFields, stat},
      {"name with parentheses and a digit", std::string("4242 (a) 1 2 (b))") + kFields, stat},
      {"name that is only a parenthesis", std::string("4242 ())") + kFields, stat},
      {"no parenthesis", std::string("4242 zrmhost") + kFields, std::nullopt},
      {"cut before rss", "4242 (zrmhost) S 1 4242 4242 0 -1 4194560 2047 0 3 0 1534 287 0 0 20 0 3 0 98765 224051200",
       std::nullopt},
      {"a field not a number", "4242 (zrmhost) S 1 4242 4242 0 -1 4194560 2047 0 3 0 x 287 0 0 20 0 3 0 98765 1 2",
       std::nullopt},
      {"a negative field", "4242 (zrmhost) S 1 4242 4242 0 -1 4194560 2047 0 3 0 1534 287 0 0 20 0 3 0 98765 1 -2",
       std::nullopt},
      {"empty", "", std::nullopt},
  };
  for (const StatCase& test : cases) {
    SCOPED_TRACE(test.what);
    const std::optional<ProcessStat> parsed = ParseProcessStat(test.text);
    ASSERT_EQ(parsed.has_value(), test.expected.has_value());
    if (!parsed) continue;
    EXPECT_EQ(parsed->user_ticks, test.expected->user_ticks);
    EXPECT_EQ(parsed->system_ticks, test.expected->system_ticks);
    EXPECT_EQ(parsed->start_ticks, test.expected->start_ticks);
    EXPECT_EQ(parsed->virtual_bytes, test.expected->virtual_bytes);
    EXPECT_EQ(parsed->resident_pages, test.expected->resident_pages);
  }
}

TEST(ProcessFigures, ThisProcessReadsPlausibly) {
  const std::optional<ProcessFigures> figures = ReadProcessFigures();
  ASSERT_TRUE(figures.has_value());
  // qemu-user writes this process's stat line itself and leaves the memory and CPU fields 0; a
  // process of a real kernel always has an address space.
  if (figures->virtual_bytes != 0) {
    EXPECT_GT(figures->resident_bytes, 0u);
    EXPECT_GE(figures->virtual_bytes, figures->resident_bytes);
  }
  EXPECT_GE(figures->open_fds, 3u);  // standard input, output and error, and the directory being read
  EXPECT_GE(figures->max_fds, figures->open_fds);
  EXPECT_GT(figures->start_time_seconds, 1.5e9);  // after 2017: read as seconds since the epoch, not ticks
  EXPECT_GE(figures->cpu_seconds, 0.0);
}

}  // namespace
}  // namespace qiraoid
