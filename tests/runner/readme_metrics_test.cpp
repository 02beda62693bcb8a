// README.md against what the runner writes: its table of metrics names every family of the page,
// with its type, and nothing else; its example round event shows the "pass" object's keys in the
// order the runner writes them.
#include <algorithm>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "agent_event_line.h"
#include "metrics_page.h"

namespace qiraoid {
namespace {

using ::testing::ContainerEq;
using ::testing::ElementsAreArray;

using Family = std::pair<std::string, std::string>;  // name, type

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string Readme() {
  std::ifstream in(README_PATH);
  EXPECT_TRUE(in) << "cannot read " << README_PATH;
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Matches in `lines`, each as the first group and the second (if any), sorted.
std::vector<Family> Matches(const std::vector<std::string>& lines, const std::regex& pattern) {
  std::vector<Family> found;
  std::smatch match;
  for (const std::string& line : lines) {
    if (std::regex_match(line, match, pattern)) found.emplace_back(match[1], match[2]);
  }
  std::sort(found.begin(), found.end());
  return found;
}

TEST(Readme, MetricsTableNamesEachFamilyOfThePageWithItsType) {
  const std::regex type_line(R"(# TYPE (\w+) (\w+))");
  const std::regex table_row(R"(\| `((?:qiraoid|process)_\w+)(?:\{[\w,]*\})?` \| (\w+) \|.*)");
  const std::vector<Family> page = Matches(Lines(MetricsPage({}, {})), type_line);
  ASSERT_FALSE(page.empty());
  // A row missing, one too many (or twice) or a wrong type shows as a difference here.
  EXPECT_THAT(Matches(Lines(Readme()), table_row), ContainerEq(page));
}

std::vector<std::string> Keys(const std::string& object) {
  std::vector<std::string> keys;
  const std::regex key(R"re("(\w+)":)re");
  for (auto it = std::sregex_iterator(object.begin(), object.end(), key); it != std::sregex_iterator(); ++it) {
    keys.push_back((*it)[1]);
  }
  return keys;
}

TEST(Readme, RoundEventShowsThePassFiguresInTheirOrder) {
  const std::string readme = Readme();
  std::smatch example;
  ASSERT_TRUE(std::regex_search(readme, example, std::regex(R"re("pass":(\{[^}]*\}))re")))
      << "README.md shows no round event with its pass figures";
  EXPECT_THAT(Keys(example[1]), ElementsAreArray(Keys(PassFiguresJson(PassFigures()))));
}

}  // namespace
}  // namespace qiraoid
