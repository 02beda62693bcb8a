#include "column_value.h"

#include <clocale>
#include <cstdint>
#include <cstdlib>
#include <locale.h>

double ParseNumberText(const std::string& text) {
  static const locale_t c_locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  return strtod_l(text.c_str(), nullptr, c_locale);
}

float ColumnValue(const netsnmp_variable_list& variable) {
  switch (variable.type) {
    case ASN_INTEGER:
      return static_cast<float>(static_cast<int32_t>(*variable.val.integer));
    case ASN_COUNTER:
    case ASN_GAUGE:
    case ASN_TIMETICKS:
    case ASN_UINTEGER:
      return static_cast<float>(static_cast<uint32_t>(*variable.val.integer));
    case ASN_COUNTER64: {
      const struct counter64& big = *variable.val.counter64;
      return static_cast<float>((static_cast<uint64_t>(big.high) << 32) | (big.low & 0xffffffffu));
    }
    default:
      if (variable.val.string == nullptr) return 0.0f;
      return static_cast<float>(ParseNumberText(
          std::string(reinterpret_cast<const char*>(variable.val.string), variable.val_len)));
  }
}
