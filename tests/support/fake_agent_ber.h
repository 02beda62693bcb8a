// The small part of BER that SNMP v2c messages use: definite lengths, single-byte tags,
// INTEGER, OCTET STRING, NULL, OBJECT IDENTIFIER, the unsigned application types and the
// Opaque-wrapped numbers.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace fake_agent_ber {

// Universal, application, context and PDU tags the fake agent reads or writes.
inline constexpr uint8_t kInteger = 0x02;
inline constexpr uint8_t kOctetString = 0x04;
inline constexpr uint8_t kNull = 0x05;
inline constexpr uint8_t kObjectId = 0x06;
inline constexpr uint8_t kSequence = 0x30;
inline constexpr uint8_t kCounter32 = 0x41;
inline constexpr uint8_t kGauge32 = 0x42;  // also Unsigned32
inline constexpr uint8_t kTimeTicks = 0x43;
inline constexpr uint8_t kOpaque = 0x44;
inline constexpr uint8_t kCounter64 = 0x46;
// Net-SNMP's numbers wrapped in an Opaque: 0x9F, then one of these, then length and contents.
inline constexpr uint8_t kOpaqueExtension = 0x9F;
inline constexpr uint8_t kOpaqueFloat = 0x78;
inline constexpr uint8_t kOpaqueDouble = 0x79;
inline constexpr uint8_t kOpaqueI64 = 0x7A;
inline constexpr uint8_t kOpaqueU64 = 0x7B;
inline constexpr uint8_t kNoSuchObject = 0x80;
inline constexpr uint8_t kNoSuchInstance = 0x81;
inline constexpr uint8_t kEndOfMibView = 0x82;
inline constexpr uint8_t kGetRequest = 0xA0;
inline constexpr uint8_t kGetNextRequest = 0xA1;
inline constexpr uint8_t kResponse = 0xA2;
inline constexpr uint8_t kGetBulkRequest = 0xA5;
inline constexpr uint8_t kReport = 0xA8;
inline constexpr uint8_t kLastPdu = kReport;

// Encoders return a whole TLV (tag, length, contents).
std::string Encode(uint8_t tag, std::string_view contents);
std::string EncodeInteger(int64_t value, uint8_t tag = kInteger);
// Unsigned kinds need a leading zero byte when the top bit is set, or they would read as negative.
std::string EncodeUnsigned(uint8_t tag, uint64_t value);
std::string EncodeOid(const std::vector<uint32_t>& name);
// An Opaque holding one of Net-SNMP's wrapped numbers (kOpaqueFloat...) with the given contents.
std::string EncodeOpaque(uint8_t wrapped_tag, std::string_view contents);
// The contents of an INTEGER or an unsigned kind, without tag and length.
std::string IntegerContents(int64_t value);
std::string UnsignedContents(uint64_t value);

// Contents decoders; false on contents that do not fit the type.
bool DecodeInteger(std::string_view contents, int64_t* value);
bool DecodeOid(std::string_view contents, std::vector<uint32_t>* name);

struct Tlv {
  uint8_t tag = 0;
  std::string_view contents;
};

// Reads consecutive TLVs from a buffer it does not own. Input comes straight off the wire, so
// every length is checked against what is left before it is used.
class Reader {
 public:
  explicit Reader(std::string_view data) : rest_(data) {}

  bool AtEnd() const { return rest_.empty(); }
  // The next TLV whatever its tag; false at the end or on a malformed header.
  bool Next(Tlv* out);
  // The next TLV, which must carry `tag`.
  bool Expect(uint8_t tag, std::string_view* contents);
  bool ReadInteger(int64_t* value);
  bool ReadOctetString(std::string* value);
  bool ReadOid(std::vector<uint32_t>* name);

 private:
  std::string_view rest_;
};

}  // namespace fake_agent_ber
