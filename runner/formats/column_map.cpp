#include "column_map.h"

#include <algorithm>
#include <optional>
#include <stdexcept>

#include "event_lines.h"
#include "label_value.h"
#include "snmp_qiraoid_data.h"
#include "utf8_text.h"

namespace qiraoid {

const std::vector<std::string_view> kColumnUnits = {
    "volts", "amperes", "watts", "volt_amperes", "volt_amperes_reactive", "hertz",
    "celsius", "joules", "seconds", "ratio", "percent"};

namespace {

// What is wrong with one line of the map.
class LineProblem : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Suffixes Prometheus keeps for the series of other types than a gauge.
struct ReservedSuffix {
  std::string_view suffix;
  const char* kept_for;
};
constexpr ReservedSuffix kReservedSuffixes[] = {
    {"_total", "counters"}, {"_count", "histograms and summaries"}, {"_sum", "histograms and summaries"},
    {"_bucket", "histograms"}};

// Series Prometheus writes itself for every target it scrapes.
constexpr std::string_view kScrapeSeries[] = {"up", "scrape_duration_seconds", "scrape_samples_scraped",
                                              "scrape_samples_post_metric_relabeling", "scrape_series_added"};

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLower(char c) { return c >= 'a' && c <= 'z'; }
bool IsLetter(char c) { return IsLower(c) || (c >= 'A' && c <= 'Z'); }

bool EndsWith(std::string_view text, std::string_view end) {
  return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

// One field of a line: a bare word, or name=value with the value bare or quoted.
struct Field {
  std::string text;  // as written, for the problems
  std::string name;
  std::optional<std::string> value;
};

class Fields {
 public:
  explicit Fields(std::string_view line) : line_(line) {}

  // Every field up to the line's end or its comment.
  std::vector<Field> All() {
    std::vector<Field> fields;
    while (std::optional<Field> field = Next()) fields.push_back(std::move(*field));
    return fields;
  }

 private:
  std::optional<Field> Next() {
    while (at_ < line_.size() && IsBlank(line_[at_])) ++at_;
    if (at_ == line_.size() || line_[at_] == '#') return std::nullopt;
    const std::size_t start = at_;
    Field field;
    while (at_ < line_.size() && !IsBlank(line_[at_]) && line_[at_] != '=') field.name += line_[at_++];
    if (at_ < line_.size() && line_[at_] == '=') {
      ++at_;
      field.value = at_ < line_.size() && line_[at_] == '"' ? QuotedValue(field.name) : BareValue();
    }
    field.text = line_.substr(start, at_ - start);
    return field;
  }

  std::string BareValue() {
    std::string value;
    while (at_ < line_.size() && !IsBlank(line_[at_])) value += line_[at_++];
    return value;
  }

  std::string QuotedValue(const std::string& label) {
    std::string value;
    for (++at_; at_ < line_.size() && line_[at_] != '"'; ++at_) {
      if (line_[at_] == '\\') value += Escaped(label);
      else value += line_[at_];
    }
    if (at_ == line_.size()) throw LineProblem("label " + Quoted(label) + ": its value has no closing quote");
    ++at_;
    if (at_ < line_.size() && !IsBlank(line_[at_])) {
      throw LineProblem("label " + Quoted(label) + ": its value goes on after the closing quote");
    }
    return value;
  }

  char Escaped(const std::string& label) {
    const char next = at_ + 1 < line_.size() ? line_[at_ + 1] : '\0';
    if (next != '\\' && next != '"') {
      throw LineProblem("label " + Quoted(label) + ": its value holds a backslash that is not \\\\ or \\\"");
    }
    ++at_;
    return next;
  }

  std::string_view line_;
  std::size_t at_ = 0;
};

struct MapLine {
  int column = 0;
  std::string name;  // with the unit's suffix
  std::string unit;
  MapLabels labels;
};

int ColumnOf(const Field& field) {
  const bool digits = !field.value && !field.name.empty() &&
                      std::all_of(field.name.begin(), field.name.end(), IsDigit);
  if (!digits) throw LineProblem(Quoted(field.text) + " is not a column number; a line starts with one");
  int column = 0;
  for (const char digit : field.name) column = std::min(column * 10 + (digit - '0'), kQiraoidColumns + 1);
  if (column < 1 || column > kQiraoidColumns) {
    throw LineProblem("column " + field.name + " is not in 1-" + std::to_string(kQiraoidColumns));
  }
  return column;
}

// A metric or label name as Prometheus takes it: `what` says which in a problem, `letters` which
// letters it may hold besides digits and "_".
template <typename IsAllowedLetter>
void CheckPrometheusName(const char* what, const std::string& name, IsAllowedLetter is_letter, const char* letters) {
  const bool good = !name.empty() && !IsDigit(name[0]) &&
                    std::all_of(name.begin(), name.end(), [&](char c) { return is_letter(c) || IsDigit(c) || c == '_'; });
  if (!good) {
    throw LineProblem(std::string(what) + " " + Quoted(name) + " wants " + letters +
                      ", digits and \"_\", not starting with a digit");
  }
  if (name.rfind("__", 0) == 0) {
    throw LineProblem(std::string(what) + " " + Quoted(name) + " starts with \"__\", which Prometheus keeps for itself");
  }
}

void CheckWrittenName(const std::string& name) { CheckPrometheusName("metric name", name, IsLower, "lower-case letters"); }

void CheckFullName(const std::string& name, const PageFamily& page_family) {
  for (const ReservedSuffix& reserved : kReservedSuffixes) {
    if (EndsWith(name, reserved.suffix)) {
      throw LineProblem("metric " + name + " ends with " + Quoted(reserved.suffix) + ", which Prometheus keeps for " +
                        reserved.kept_for + "; a mapped column is a gauge");
    }
  }
  if (page_family(name)) throw LineProblem("metric " + name + " is one of the page's own");
  if (std::find(std::begin(kScrapeSeries), std::end(kScrapeSeries), name) != std::end(kScrapeSeries)) {
    throw LineProblem("metric " + name + " is one Prometheus writes itself for every scrape");
  }
  if (IsCsvOwnHeading(name)) throw LineProblem("metric " + name + " is one of dump --csv's own headings");
}

std::string UnitOf(const std::string& unit) {
  if (std::find(kColumnUnits.begin(), kColumnUnits.end(), unit) != kColumnUnits.end()) return unit;
  std::string known;
  for (const std::string_view each : kColumnUnits) known += (known.empty() ? "" : ", ") + std::string(each);
  throw LineProblem("unit " + Quoted(unit) + " is not one of " + known);
}

void CheckLabelName(const std::string& name, const MapLabels& before) {
  CheckPrometheusName("label name", name, IsLetter, "letters");
  if (name == "device") throw LineProblem("label \"device\" is the page's own: the device id");
  for (const auto& [earlier, value] : before) {
    if (earlier == name) throw LineProblem("label " + Quoted(name) + " is given twice");
  }
}

// The line's fields after its name and unit: each a label=value.
MapLabels LabelsOf(const std::vector<Field>& fields, std::size_t first) {
  MapLabels labels;
  for (std::size_t index = first; index < fields.size(); ++index) {
    const Field& field = fields[index];
    if (!field.value) throw LineProblem(Quoted(field.text) + " is not a label=value");
    CheckLabelName(field.name, labels);
    if (field.value->empty()) throw LineProblem("label " + Quoted(field.name) + " has no value");
    labels.emplace_back(field.name, *field.value);
  }
  return labels;
}

// The line's text as the page can carry it: UTF-8 without control characters but the tab.
void CheckCharacters(std::string_view text) {
  if (!IsUtf8(text)) throw LineProblem("it is not valid UTF-8");
  for (const char c : text) {
    if ((static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7f) {
      throw LineProblem("it holds a control character");
    }
  }
}

// A line's mapping; nothing for a blank line or a comment.
std::optional<MapLine> ParseLine(std::string_view text, const PageFamily& page_family) {
  CheckCharacters(text);
  const std::vector<Field> fields = Fields(text).All();
  if (fields.empty()) return std::nullopt;
  MapLine line;
  line.column = ColumnOf(fields[0]);
  if (fields.size() < 2 || fields[1].value) {
    throw LineProblem("column " + std::to_string(line.column) + " has no metric name");
  }
  CheckWrittenName(fields[1].name);
  line.name = fields[1].name;
  const bool has_unit = fields.size() > 2 && !fields[2].value;
  if (has_unit) {
    line.unit = UnitOf(fields[2].name);
    if (!EndsWith(line.name, "_" + line.unit)) line.name += "_" + line.unit;
  }
  CheckFullName(line.name, page_family);
  line.labels = LabelsOf(fields, has_unit ? 3 : 2);
  return line;
}

std::string LabelNames(MapLabels labels) {
  std::sort(labels.begin(), labels.end());
  std::string names;
  for (const auto& [name, value] : labels) names += (names.empty() ? "" : ",") + name;
  return "{" + names + "}";
}

// name{label="value",...}, the labels in the given order, escaped as the page's.
std::string SeriesText(const std::string& name, const MapLabels& labels) {
  if (labels.empty()) return name;
  std::string text = name + "{";
  for (const auto& [label, value] : labels) {
    text += (text.back() == '{' ? "" : ",") + label + "=\"" + LabelValue(value) + "\"";
  }
  return text + "}";
}

// The map as its lines are read, with what the later lines are checked against.
class MapBuilder {
 public:
  void Add(const MapLine& line, int number) {
    if (const auto earlier = column_lines_.find(line.column); earlier != column_lines_.end()) {
      throw LineProblem("column " + std::to_string(line.column) + " is mapped on line " +
                        std::to_string(earlier->second) + " already");
    }
    MappedMetric& metric = MetricFor(line, number);
    MapLabels sorted = line.labels;
    std::sort(sorted.begin(), sorted.end());
    const auto [series, fresh] = series_lines_.emplace(SeriesText(line.name, sorted), number);
    if (!fresh) {
      throw LineProblem("metric " + SeriesText(line.name, line.labels) + " is mapped on line " +
                        std::to_string(series->second) + " already");
    }
    column_lines_.emplace(line.column, number);
    metric.columns.push_back({line.column, line.labels});
  }

  ColumnMap Take() { return std::move(map_); }

 private:
  struct Family {
    std::size_t index;  // in the map
    int line;  // its first
    std::string label_names;
  };

  MappedMetric& MetricFor(const MapLine& line, int number) {
    const std::string label_names = LabelNames(line.labels);
    const auto [family, fresh] = families_.emplace(line.name, Family{map_.metrics.size(), number, label_names});
    if (fresh) {
      map_.metrics.push_back({line.name, line.unit, {}});
    } else if (family->second.label_names != label_names) {
      throw LineProblem("metric " + line.name + " is labelled " + family->second.label_names + " on line " +
                        std::to_string(family->second.line) + ", here " + label_names);
    }
    return map_.metrics[family->second.index];
  }

  ColumnMap map_;
  std::map<std::string, Family> families_;
  std::map<int, int> column_lines_;
  std::map<std::string, int> series_lines_;  // by the series' text, its labels sorted
};

}  // namespace

ColumnMapReading ReadColumnMap(const std::string& file, std::string_view text, const PageFamily& page_family) {
  ColumnMapReading reading;
  MapBuilder builder;
  int number = 0;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);  // a map saved with CRLF
    start = end + 1;
    ++number;
    try {
      if (const std::optional<MapLine> mapping = ParseLine(line, page_family)) builder.Add(*mapping, number);
    } catch (const LineProblem& problem) {
      reading.problems.push_back(file + ":" + std::to_string(number) + ": " + problem.what());
    }
  }
  reading.map = builder.Take();
  return reading;
}

std::map<int, std::string> ColumnHeadings(const ColumnMap& map) {
  std::map<int, std::string> headings;
  for (const MappedMetric& metric : map.metrics) {
    for (const MappedColumn& column : metric.columns) headings[column.column] = SeriesText(metric.name, column.labels);
  }
  return headings;
}

}  // namespace qiraoid
