#include "column_value.h"

#include <clocale>
#include <cstdint>
#include <cstdlib>
#include <locale.h>

namespace qiraoid {

double ParseNumberText(const std::string& text) {
  static const locale_t c_locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  return strtod_l(text.c_str(), nullptr, c_locale);
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
          std::string(reinterpret_cast<const char*>(variable.val.string), variable.val_len)));
  }
}

}  // namespace qiraoid
