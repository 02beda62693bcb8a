// A test's JSON text as the value the host would hand over; bad text throws.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>

#include <json/reader.h>

inline Json::Value ParseJson(const std::string& text) {
  Json::Value value;
  Json::CharReaderBuilder builder;
  std::string errors;
  std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  if (!reader->parse(text.data(), text.data() + text.size(), &value, &errors)) {
    throw std::invalid_argument("bad test JSON: " + errors);
  }
  return value;
}
