// ParseNumberText reads text as strtod does in the C locale, even while the thread's locale
// writes numbers with a decimal comma.
#include <clocale>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include <locale.h>

#include "column_value.h"

namespace {

// de_DE when the machine has it (scripts/install-deps.sh makes it); the C locale otherwise.
locale_t CommaLocale() {
  static const locale_t comma = newlocale(LC_ALL_MASK, "de_DE.UTF-8", static_cast<locale_t>(0));
  return comma;
}

bool Same(double expected, double actual) {
  if (std::isnan(expected)) return std::isnan(actual);
  return expected == actual && std::signbit(expected) == std::signbit(actual);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (std::memchr(data, 0, size) != nullptr) return 0;  // text stops at a NUL for both readers
  const std::string text(reinterpret_cast<const char*>(data), size);
  const double expected = std::strtod(text.c_str(), nullptr);  // the process stays in "C"
  if (CommaLocale() != static_cast<locale_t>(0)) uselocale(CommaLocale());
  const double actual = qiraoid::ParseNumberText(text);
  uselocale(LC_GLOBAL_LOCALE);
  if (!Same(expected, actual)) std::abort();
  return 0;
}
