#include "column_value.h"

#include <clocale>
#include <cstdint>
#include <cstdlib>
#include <locale.h>

#include <optional>
#include <string>

namespace qiraoid {

namespace {

// Plain decimal text, "[+-]digits[.digits]" with at most 15 digits and nothing else, read without
// strtod: the digits make a whole number below 2^53 and the power of ten dividing it is exact too,
// so the one division rounds exactly as strtod does. Such text is what agents serve; the rest
// goes to strtod. (A cabinet's pass reads over a thousand values: strtod was a third of the
// walk's own work.)
std::optional<double> PlainDecimal(std::string_view text) {
  static constexpr double kPowersOfTen[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                            1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  size_t at = 0;
  const bool negative = !text.empty() && text[0] == '-';
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) at = 1;
  uint64_t digits = 0;
  int count = 0;
  int fraction = -1;  // digits after the point, once there is one
  for (; at < text.size(); ++at) {
    const char c = text[at];
    if (c == '.' && fraction < 0) {
      fraction = 0;
    } else if (c >= '0' && c <= '9' && count < 15) {
      digits = digits * 10 + static_cast<uint64_t>(c - '0');
      ++count;
      if (fraction >= 0) ++fraction;
    } else {
      return std::nullopt;
    }
  }
  if (count == 0) return std::nullopt;
  const double value = static_cast<double>(digits) / kPowersOfTen[fraction < 0 ? 0 : fraction];
  return negative ? -value : value;
}

}  // namespace

double ParseNumberText(std::string_view text) {
  if (const std::optional<double> plain = PlainDecimal(text)) return *plain;
  static const locale_t c_locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  return strtod_l(std::string(text).c_str(), nullptr, c_locale);
}

namespace {

uint64_t Unsigned64(const struct counter64& big) {
  return (static_cast<uint64_t>(big.high & 0xffffffffu) << 32) | (big.low & 0xffffffffu);
}

}  // namespace

float ColumnValue(const netsnmp_variable_list& variable) {
  switch (variable.type) {
    case ASN_INTEGER:
      return static_cast<float>(static_cast<int32_t>(*variable.val.integer));
    case ASN_COUNTER:
    case ASN_GAUGE:
    case ASN_TIMETICKS:
    case ASN_UINTEGER:
      return static_cast<float>(static_cast<uint32_t>(*variable.val.integer));
    case ASN_COUNTER64:
    case ASN_OPAQUE_COUNTER64:
    case ASN_OPAQUE_U64:
      return static_cast<float>(Unsigned64(*variable.val.counter64));
    case ASN_OPAQUE_I64:  // two's complement in the same two halves
      return static_cast<float>(static_cast<int64_t>(Unsigned64(*variable.val.counter64)));
    case ASN_OPAQUE_FLOAT:
      return *variable.val.floatVal;
    case ASN_OPAQUE_DOUBLE:
      return static_cast<float>(*variable.val.doubleVal);
    default:
      if (variable.val.string == nullptr) return 0.0f;
      return static_cast<float>(ParseNumberText(
          std::string_view(reinterpret_cast<const char*>(variable.val.string), variable.val_len)));
  }
}

}  // namespace qiraoid
