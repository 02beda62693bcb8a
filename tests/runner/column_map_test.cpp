// The column map: what a good map gives the page and dump --csv, and each kind of bad line refused
// with the file, the line's number and what is wrong, while the other lines are still read.
#include <ostream>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "column_map.h"
#include "metrics_page.h"

namespace qiraoid {

bool operator==(const MappedColumn& a, const MappedColumn& b) { return a.column == b.column && a.labels == b.labels; }
bool operator==(const MappedMetric& a, const MappedMetric& b) {
  return a.name == b.name && a.unit == b.unit && a.columns == b.columns;
}

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Pair;

TEST(ColumnMap, GoodLinesGiveMetricsInTheirFirstLinesOrder) {
  const ColumnMapReading reading = ReadColumnMap("columns.map",
      "# column  metric name  [unit]  [label=value ...]\n"
      "12 phase_voltage volts phase=L1 feed=\"feed A\"\n"
      "\n"
      "  \t\n"
      "\t20\ttemperature celsius # the cabinet's inside\r\n"
      "13 phase_voltage volts feed=\"feed A\" phase=L2\n"   // the same family, its labels in another order
      "14 phase_voltage_volts phase=L3 feed=B\n"            // the name already ends with the unit
      "30 load_ratio ratio\n"
      "0031 humidity percent site=\"a \\\"quoted\\\" \\\\ name\" room=#1\n"  // a leading zero or two
      "1397 energy_kwh", IsPageFamily);
  EXPECT_THAT(reading.problems, IsEmpty());
  EXPECT_THAT(reading.map.metrics,
              ElementsAre(MappedMetric{"phase_voltage_volts", "volts",
                                       {{12, {{"phase", "L1"}, {"feed", "feed A"}}},
                                        {13, {{"feed", "feed A"}, {"phase", "L2"}}},
                                        {14, {{"phase", "L3"}, {"feed", "B"}}}}},
                          MappedMetric{"temperature_celsius", "celsius", {{20, {}}}},
                          MappedMetric{"load_ratio", "ratio", {{30, {}}}},
                          MappedMetric{"humidity_percent", "percent",
                                       {{31, {{"site", "a \"quoted\" \\ name"}, {"room", "#1"}}}}},
                          MappedMetric{"energy_kwh", "", {{1397, {}}}}));
  EXPECT_THAT(ColumnHeadings(reading.map),
              ElementsAre(Pair(12, "phase_voltage_volts{phase=\"L1\",feed=\"feed A\"}"),
                          Pair(13, "phase_voltage_volts{feed=\"feed A\",phase=\"L2\"}"),
                          Pair(14, "phase_voltage_volts{phase=\"L3\",feed=\"B\"}"),
                          Pair(20, "temperature_celsius"), Pair(30, "load_ratio"),
                          Pair(31, "humidity_percent{site=\"a \\\"quoted\\\" \\\\ name\",room=\"#1\"}"),
                          Pair(1397, "energy_kwh")));
}

TEST(ColumnMap, EmptyOrCommentsOnlyMapsNothing) {
  for (const char* text : {"", "\n\n", "# nothing known yet\n   # still nothing\r\n"}) {
    const ColumnMapReading reading = ReadColumnMap("columns.map", text, IsPageFamily);
    EXPECT_THAT(reading.problems, IsEmpty()) << text;
    EXPECT_THAT(reading.map.metrics, IsEmpty()) << text;
  }
}

struct BadMap {
  const char* name;
  std::string text;
  const char* problem;
};

void PrintTo(const BadMap& map, std::ostream* out) { *out << map.name; }

class ColumnMapRefuses : public ::testing::TestWithParam<BadMap> {};

TEST_P(ColumnMapRefuses, NamingTheFileTheLineAndWhatIsWrong) {
  const ColumnMapReading reading = ReadColumnMap("cabinet/columns.map", GetParam().text, IsPageFamily);
  EXPECT_THAT(reading.problems, ElementsAre(GetParam().problem));
}

INSTANTIATE_TEST_SUITE_P(
    EachKindOfBadLine, ColumnMapRefuses,
    ::testing::Values(
        // The column.
        BadMap{"ColumnAbove1397", "1500 x", "cabinet/columns.map:1: column 1500 is not in 1-1397"},
        BadMap{"ColumnZero", "0 x", "cabinet/columns.map:1: column 0 is not in 1-1397"},
        BadMap{"ColumnWithLeadingZeros", "0001398 x", "cabinet/columns.map:1: column 0001398 is not in 1-1397"},
        BadMap{"ColumnOfElevenDigits", "99999999999 x", "cabinet/columns.map:1: column 99999999999 is not in 1-1397"},
        BadMap{"ColumnWithALetter", "12a x", "cabinet/columns.map:1: \"12a\" is not a column number; a line starts with one"},
        BadMap{"NegativeColumn", "-3 x", "cabinet/columns.map:1: \"-3\" is not a column number; a line starts with one"},
        BadMap{"LabelForAColumn", "phase=L1", "cabinet/columns.map:1: \"phase=L1\" is not a column number; a line starts with one"},
        // The metric's name.
        BadMap{"NoName", "12", "cabinet/columns.map:1: column 12 has no metric name"},
        BadMap{"NoNameBeforeAComment", "12 # comment", "cabinet/columns.map:1: column 12 has no metric name"},
        BadMap{"LabelForAName", "12 phase=L1", "cabinet/columns.map:1: column 12 has no metric name"},
        BadMap{"CamelCaseName", "12 PhaseVoltage", "cabinet/columns.map:1: metric name \"PhaseVoltage\" wants lower-case letters, "
                                  "digits and \"_\", not starting with a digit"},
        BadMap{"NameStartingWithADigit", "12 1phase", "cabinet/columns.map:1: metric name \"1phase\" wants lower-case letters, "
                            "digits and \"_\", not starting with a digit"},
        BadMap{"NameWithAColon", "12 phase:voltage", "cabinet/columns.map:1: metric name \"phase:voltage\" wants lower-case letters, "
                                   "digits and \"_\", not starting with a digit"},
        BadMap{"NameWithTwoUnderscores", "12 __voltage", "cabinet/columns.map:1: metric name \"__voltage\" starts with \"__\", which "
                               "Prometheus keeps for itself"},
        BadMap{"TotalSuffix", "12 energy_total", "cabinet/columns.map:1: metric energy_total ends with \"_total\", which "
                                  "Prometheus keeps for counters; a mapped column is a gauge"},
        BadMap{"CountSuffix", "12 breaker_count", "cabinet/columns.map:1: metric breaker_count ends with \"_count\", which "
                                   "Prometheus keeps for histograms and summaries; a mapped column is a gauge"},
        BadMap{"SumSuffix", "12 load_sum", "cabinet/columns.map:1: metric load_sum ends with \"_sum\", which "
                              "Prometheus keeps for histograms and summaries; a mapped column is a gauge"},
        BadMap{"BucketSuffix", "12 load_bucket", "cabinet/columns.map:1: metric load_bucket ends with \"_bucket\", which "
                                 "Prometheus keeps for histograms; a mapped column is a gauge"},
        BadMap{"PagesCabinetValue", "12 qiraoid_cabinet_value", "cabinet/columns.map:1: metric qiraoid_cabinet_value is one of the page's own"},
        BadMap{"PagesProcessFamily", "12 process_open_fds", "cabinet/columns.map:1: metric process_open_fds is one of the page's own"},
        BadMap{"WordThatIsNoUnit", "12 qiraoid_agent answering", "cabinet/columns.map:1: unit \"answering\" is not one of volts, amperes, "
                                             "watts, volt_amperes, volt_amperes_reactive, hertz, celsius, joules, "
                                             "seconds, ratio, percent"},
        BadMap{"PrometheusUp", "12 up", "cabinet/columns.map:1: metric up is one Prometheus writes itself for every scrape"},
        BadMap{"PrometheusScrapeSeries", "12 scrape_duration seconds",
               "cabinet/columns.map:1: metric scrape_duration_seconds is one Prometheus writes itself for every scrape"},
        BadMap{"CsvColumnHeading", "12 c7", "cabinet/columns.map:1: metric c7 is one of dump --csv's own headings"},
        BadMap{"CsvTimeHeading", "12 time", "cabinet/columns.map:1: metric time is one of dump --csv's own headings"},
        BadMap{"CsvDeviceHeading", "12 device", "cabinet/columns.map:1: metric device is one of dump --csv's own headings"},
        // The unit: the full name is what is checked.
        BadMap{"UnitMakesAPageFamily", "12 qiraoid_last_round_timestamp seconds",
               "cabinet/columns.map:1: metric qiraoid_last_round_timestamp_seconds is one of the page's own"},
        BadMap{"UnknownUnit", "12 phase_voltage volt", "cabinet/columns.map:1: unit \"volt\" is not one of volts, amperes, watts, "
                                        "volt_amperes, volt_amperes_reactive, hertz, celsius, joules, seconds, "
                                        "ratio, percent"},
        BadMap{"SecondUnit", "12 phase_voltage volts amperes", "cabinet/columns.map:1: \"amperes\" is not a label=value"},
        // The labels.
        BadMap{"LabelNameWithADash", "12 v Phase-1=L1", "cabinet/columns.map:1: label name \"Phase-1\" wants letters, digits and \"_\", "
                                  "not starting with a digit"},
        BadMap{"LabelNameStartingWithADigit", "12 v 1phase=L1", "cabinet/columns.map:1: label name \"1phase\" wants letters, digits and \"_\", "
                                 "not starting with a digit"},
        BadMap{"EmptyLabelName", "12 v =L1", "cabinet/columns.map:1: label name \"\" wants letters, digits and \"_\", "
                           "not starting with a digit"},
        BadMap{"LabelNameWithTwoUnderscores", "12 v __name__=x", "cabinet/columns.map:1: label name \"__name__\" starts with \"__\", which "
                                  "Prometheus keeps for itself"},
        BadMap{"DeviceLabel", "12 v device=7", "cabinet/columns.map:1: label \"device\" is the page's own: the device id"},
        BadMap{"LabelTwice", "12 v phase=L1 phase=L2", "cabinet/columns.map:1: label \"phase\" is given twice"},
        BadMap{"EmptyBareValue", "12 v phase=", "cabinet/columns.map:1: label \"phase\" has no value"},
        BadMap{"EmptyQuotedValue", "12 v phase=\"\"", "cabinet/columns.map:1: label \"phase\" has no value"},
        BadMap{"UnclosedQuote", "12 v phase=\"L1 feed=A", "cabinet/columns.map:1: label \"phase\": its value has no closing quote"},
        BadMap{"TextAfterTheClosingQuote", "12 v phase=\"L1\"x", "cabinet/columns.map:1: label \"phase\": its value goes on after the closing quote"},
        BadMap{"UnknownEscape", "12 v phase=\"L\\1\"", "cabinet/columns.map:1: label \"phase\": its value holds a backslash that is "
                                      "not \\\\ or \\\""},
        BadMap{"EscapedClosingQuote", "12 v phase=\"L1\\\"", "cabinet/columns.map:1: label \"phase\": its value has no closing quote"},
        BadMap{"ControlCharacter", "12 v phase=\"L\x01\"", "cabinet/columns.map:1: it holds a control character"},
        BadMap{"NulByte", std::string("12 v\0", 5), "cabinet/columns.map:1: it holds a control character"},
        BadMap{"NotUtf8", "12 v phase=L\xff", "cabinet/columns.map:1: it is not valid UTF-8"},
        // Against the lines before: a column once, a metric's lines alike in their label names and
        // apart in their values. The line's number counts every line, blank and comment too.
        BadMap{"ColumnTwice", "# first\n\n12 v\n12 w", "cabinet/columns.map:4: column 12 is mapped on line 3 already"},
        BadMap{"SeriesTwiceThroughTheUnit", "12 v volts phase=L1\n13 v_volts phase=L1",
               "cabinet/columns.map:2: metric v_volts{phase=\"L1\"} is mapped on line 1 already"},
        BadMap{"SeriesTwiceInAnotherLabelOrder", "12 v phase=L1 feed=A\n13 v feed=A phase=L1",
               "cabinet/columns.map:2: metric v{feed=\"A\",phase=\"L1\"} is mapped on line 1 already"},
        BadMap{"UnlabelledSeriesTwice", "12 v\n13 v", "cabinet/columns.map:2: metric v is mapped on line 1 already"},
        BadMap{"FewerLabelNames", "12 v phase=L1 feed=A\n13 v phase=L2",
               "cabinet/columns.map:2: metric v is labelled {feed,phase} on line 1, here {phase}"},
        BadMap{"LabelsWhereThereWereNone", "12 v\r\n13 v phase=L2", "cabinet/columns.map:2: metric v is labelled {} on line 1, here {phase}"}));

TEST(ColumnMap, EveryBadLineIsToldAndTheGoodOnesStillRead) {
  const ColumnMapReading reading =
      ReadColumnMap("columns.map", "1500 x\n12 v volts\n12 w\n13 Bad\n14 v_volts", IsPageFamily);
  EXPECT_THAT(reading.problems, ElementsAre("columns.map:1: column 1500 is not in 1-1397",
                                            "columns.map:3: column 12 is mapped on line 2 already",
                                            "columns.map:4: metric name \"Bad\" wants lower-case letters, digits "
                                            "and \"_\", not starting with a digit",
                                            "columns.map:5: metric v_volts is mapped on line 2 already"));
  EXPECT_THAT(reading.map.metrics, ElementsAre(MappedMetric{"v_volts", "volts", {{12, {}}}}));
}

}  // namespace
}  // namespace qiraoid
