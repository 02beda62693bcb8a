// How column values become floats: number text by atof's rules in any locale, numbers by value.
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "column_value.h"

namespace qiraoid {
namespace {

TEST(ColumnValue, TextFollowsAtofRules) {
  const struct {
    std::string text;
    double expected;
  } rows[] = {
      {"230.5", 230.5},   {"", 0.0},           {"abc", 0.0},         {" 12.5V", 12.5},
      {"1e3", 1000.0},    {"-0.25", -0.25},    {"\t+7", 7.0},        {"0x10", 16.0},
      {"3,5", 3.0},       {std::string("4\0" "9", 3), 4.0},           {"1e400", HUGE_VAL},
  };
  for (const auto& row : rows) EXPECT_EQ(ParseNumberText(row.text), row.expected) << row.text;
}

// Plain decimals are read without strtod; they must come out bit for bit as strtod reads them,
// at the limits of that path and just past them.
TEST(ColumnValue, PlainDecimalsReadBitForBitAsStrtod) {
  const char* texts[] = {"0", "-0", "-0.0", "+0.5", ".5", "5.", "-.", ".", "+", "-", "0.1", "0.3",
                         "230.5", "-17.6", "4.03", "123456789012345", "12345678901234.5",
                         "0.000000000000001", "1234567890123456", "9007199254740993", "0.1000000000000001",
                         "000000000000012.5", "1.2.3", "1..2", "12 ", " 12", "1e2", "0x1A", "1,5"};
  for (const char* text : texts) {
    const double expected = std::strtod(text, nullptr);
    const double actual = ParseNumberText(text);
    EXPECT_EQ(std::memcmp(&expected, &actual, sizeof expected), 0) << text << ": " << actual;
  }
}

TEST(ColumnValue, DecimalPointHoldsWhateverLocaleTheHostSets) {
  const char* previous = std::setlocale(LC_NUMERIC, nullptr);
  const std::string saved = previous ? previous : "C";
  if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr) {
    GTEST_SKIP() << "no decimal-comma locale on this machine";
  }
  EXPECT_EQ(ParseNumberText("230.5"), 230.5);
  std::setlocale(LC_NUMERIC, saved.c_str());
}

struct Variable {
  netsnmp_variable_list list{};
  explicit Variable(u_char type, const void* value, size_t length) {
    const oid name[] = {1, 3, 6, 1, 4, 1, 61333, 1, 1, 4, 0, 7};
    snmp_set_var_objid(&list, name, sizeof name / sizeof name[0]);
    snmp_set_var_typed_value(&list, type, value, length);
  }
  ~Variable() { snmp_free_var_internals(&list); }
};

TEST(ColumnValue, NumericTypesAreReadByValue) {
  const long negative = -42;
  const u_long big = 4000000000UL;
  struct counter64 wide = {1, 5};  // 2^32 + 5
  const std::string text = "230.5";
  const struct {
    const char* what;
    u_char type;
    const void* value;
    size_t length;
    float expected;
  } rows[] = {
      {"INTEGER", ASN_INTEGER, &negative, sizeof negative, -42.0f},
      {"Counter32", ASN_COUNTER, &big, sizeof big, 4e9f},
      {"Gauge32", ASN_GAUGE, &big, sizeof big, 4e9f},
      {"TimeTicks", ASN_TIMETICKS, &big, sizeof big, 4e9f},
      {"Counter64", ASN_COUNTER64, &wide, sizeof wide, 4294967301.0f},
      {"OCTET STRING", ASN_OCTET_STR, text.data(), text.size(), 230.5f},
      {"empty OCTET STRING", ASN_OCTET_STR, "", 0, 0.0f},
  };
  for (const auto& row : rows) {
    Variable variable(row.type, row.value, row.length);
    EXPECT_EQ(ColumnValue(variable.list), row.expected) << row.what;
  }
}

}  // namespace
}  // namespace qiraoid
