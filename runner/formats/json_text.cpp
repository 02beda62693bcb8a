#include "json_text.h"

#include <json/value.h>
#include <json/writer.h>

namespace qiraoid {

std::string JsonQuoted(const std::string& text) {
  static const Json::StreamWriterBuilder builder = [] {
    Json::StreamWriterBuilder settings;
    settings["emitUTF8"] = true;
    return settings;
  }();
  return Json::writeString(builder, Json::Value(text));
}

}  // namespace qiraoid
