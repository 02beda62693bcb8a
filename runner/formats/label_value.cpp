#include "label_value.h"

namespace qiraoid {

void AppendLabelValue(std::string& out, const std::string& text) {
  for (const char c : text) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      case '\n': out += "\\n"; break;
      default: out += c;
    }
  }
}

std::string LabelValue(const std::string& text) {
  std::string escaped;
  AppendLabelValue(escaped, text);
  return escaped;
}

}  // namespace qiraoid
