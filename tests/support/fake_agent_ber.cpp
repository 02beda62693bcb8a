#include "fake_agent_ber.h"

namespace fake_agent_ber {
namespace {

std::string EncodeLength(size_t length) {
  if (length < 0x80) return std::string(1, static_cast<char>(length));
  std::string bytes;
  for (size_t rest = length; rest != 0; rest >>= 8) bytes.insert(bytes.begin(), static_cast<char>(rest & 0xFF));
  return static_cast<char>(0x80 | bytes.size()) + bytes;
}

// Base-128, most significant group first, continuation bit on all but the last byte.
void AppendSubId(uint64_t value, std::string* out) {
  char groups[10];
  int n = 0;
  do {
    groups[n++] = static_cast<char>(value & 0x7F);
    value >>= 7;
  } while (value != 0);
  while (n > 1) out->push_back(static_cast<char>(groups[--n] | 0x80));
  out->push_back(groups[0]);
}

}  // namespace

std::string Encode(uint8_t tag, std::string_view contents) {
  std::string out(1, static_cast<char>(tag));
  out += EncodeLength(contents.size());
  out.append(contents);
  return out;
}

std::string IntegerContents(int64_t value) {
  // Shortest two's complement: drop a leading byte while the next one's top bit repeats it.
  std::string bytes;
  for (int shift = 56; shift >= 0; shift -= 8) bytes.push_back(static_cast<char>((static_cast<uint64_t>(value) >> shift) & 0xFF));
  size_t skip = 0;
  while (skip + 1 < bytes.size()) {
    const auto b = static_cast<uint8_t>(bytes[skip]);
    const auto next_top = static_cast<uint8_t>(bytes[skip + 1]) & 0x80;
    if (!((b == 0x00 && next_top == 0) || (b == 0xFF && next_top != 0))) break;
    ++skip;
  }
  return bytes.substr(skip);
}

std::string UnsignedContents(uint64_t value) {
  std::string bytes;
  for (uint64_t rest = value; rest != 0; rest >>= 8) bytes.insert(bytes.begin(), static_cast<char>(rest & 0xFF));
  if (bytes.empty() || (static_cast<uint8_t>(bytes[0]) & 0x80) != 0) bytes.insert(bytes.begin(), '\0');
  return bytes;
}

std::string EncodeInteger(int64_t value, uint8_t tag) { return Encode(tag, IntegerContents(value)); }

std::string EncodeUnsigned(uint8_t tag, uint64_t value) { return Encode(tag, UnsignedContents(value)); }

std::string EncodeOpaque(uint8_t wrapped_tag, std::string_view contents) {
  std::string wrapped{static_cast<char>(kOpaqueExtension), static_cast<char>(wrapped_tag)};
  wrapped += EncodeLength(contents.size());
  wrapped.append(contents);
  return Encode(kOpaque, wrapped);
}

std::string EncodeOid(const std::vector<uint32_t>& name) {
  // The first two arcs share one sub-identifier; shorter names are padded with zero arcs.
  const uint64_t first = name.size() > 0 ? name[0] : 0;
  const uint64_t second = name.size() > 1 ? name[1] : 0;
  std::string contents;
  AppendSubId(first * 40 + second, &contents);
  for (size_t i = 2; i < name.size(); ++i) AppendSubId(name[i], &contents);
  return Encode(kObjectId, contents);
}

bool DecodeInteger(std::string_view contents, int64_t* value) {
  if (contents.empty() || contents.size() > 8) return false;
  uint64_t bits = (static_cast<uint8_t>(contents[0]) & 0x80) != 0 ? ~uint64_t{0} : 0;
  for (char c : contents) bits = (bits << 8) | static_cast<uint8_t>(c);
  *value = static_cast<int64_t>(bits);
  return true;
}

bool DecodeOid(std::string_view contents, std::vector<uint32_t>* name) {
  name->clear();
  uint64_t value = 0;
  bool in_subid = false;
  for (char c : contents) {
    const auto b = static_cast<uint8_t>(c);
    value = (value << 7) | (b & 0x7F);
    // The combined first sub-identifier may exceed 32 bits by up to 80 ("2.x"); others may not.
    if (value > uint64_t{0xFFFFFFFF} + 80) return false;
    in_subid = (b & 0x80) != 0;
    if (in_subid) continue;
    if (name->empty()) {
      const uint64_t first = value < 80 ? value / 40 : 2;
      name->push_back(static_cast<uint32_t>(first));
      value -= first * 40;
    }
    if (value > 0xFFFFFFFF) return false;
    name->push_back(static_cast<uint32_t>(value));
    value = 0;
  }
  return !in_subid;
}

bool Reader::Next(Tlv* out) {
  if (rest_.size() < 2) return false;
  const auto tag = static_cast<uint8_t>(rest_[0]);
  if ((tag & 0x1F) == 0x1F) return false;  // multi-byte tags never occur in SNMP
  size_t length = static_cast<uint8_t>(rest_[1]);
  size_t header = 2;
  if (length & 0x80) {
    const size_t count = length & 0x7F;
    if (count == 0 || count > 4 || rest_.size() < 2 + count) return false;  // no indefinite lengths
    length = 0;
    for (size_t i = 0; i < count; ++i) length = (length << 8) | static_cast<uint8_t>(rest_[2 + i]);
    header += count;
  }
  if (length > rest_.size() - header) return false;
  out->tag = tag;
  out->contents = rest_.substr(header, length);
  rest_.remove_prefix(header + length);
  return true;
}

bool Reader::Expect(uint8_t tag, std::string_view* contents) {
  Tlv tlv;
  if (!Next(&tlv) || tlv.tag != tag) return false;
  *contents = tlv.contents;
  return true;
}

bool Reader::ReadInteger(int64_t* value) {
  std::string_view contents;
  return Expect(kInteger, &contents) && DecodeInteger(contents, value);
}

bool Reader::ReadOctetString(std::string* value) {
  std::string_view contents;
  if (!Expect(kOctetString, &contents)) return false;
  value->assign(contents);
  return true;
}

bool Reader::ReadOid(std::vector<uint32_t>* name) {
  std::string_view contents;
  return Expect(kObjectId, &contents) && DecodeOid(contents, name);
}

}  // namespace fake_agent_ber
