// A scriptable SNMP v2c agent for the faults a real snmpd will not produce: silence, error
// statuses, non-increasing names, empty binding lists, numeric types and exception values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

// Net-SNMP's types.h turns `non_repeaters` and `max_repetitions` into macros for other field names.
// Taking it in here lets FakeRequest's fields be spelled the same in every file, whatever the
// order of includes there.
#include <net-snmp/net-snmp-config.h>
#include <net-snmp/types.h>

// One variable binding the fake agent answers with.
struct FakeBinding {
  enum class Kind {
    kOctetString,
    kInteger,
    kCounter32,
    kGauge32,
    kTimeTicks,
    kCounter64,
    kUnsigned32,
    kNull,
    kEndOfMibView,
    kNoSuchObject,
    kNoSuchInstance,
    kOpaqueFloat,
    kOpaqueDouble,
    kOpaqueI64,
    kOpaqueU64
  };
  std::vector<uint32_t> name;  // OID sub-identifiers
  Kind kind = Kind::kOctetString;
  std::string text;  // for kOctetString (raw bytes)
  int64_t integer = 0;  // for kInteger (signed 32-bit range) and kOpaqueI64
  uint64_t number = 0;  // for the unsigned kinds, kCounter64 and kOpaqueU64
  double real = 0.0;  // for kOpaqueFloat and kOpaqueDouble
  // Values are sent as given, not clamped to their type's range, so a test can also send
  // an out-of-range one.

  static FakeBinding Text(std::vector<uint32_t> name, std::string text);
  static FakeBinding Integer(std::vector<uint32_t> name, int64_t value);
  static FakeBinding Counter32(std::vector<uint32_t> name, uint64_t value);
  static FakeBinding Gauge32(std::vector<uint32_t> name, uint64_t value);
  static FakeBinding TimeTicks(std::vector<uint32_t> name, uint64_t value);
  static FakeBinding Counter64(std::vector<uint32_t> name, uint64_t value);
  static FakeBinding Unsigned32(std::vector<uint32_t> name, uint64_t value);
  static FakeBinding Null(std::vector<uint32_t> name);
  static FakeBinding EndOfMibView(std::vector<uint32_t> name = {});
  static FakeBinding NoSuchObject(std::vector<uint32_t> name = {});
  static FakeBinding NoSuchInstance(std::vector<uint32_t> name = {});
  static FakeBinding OpaqueFloat(std::vector<uint32_t> name, float value);
  static FakeBinding OpaqueDouble(std::vector<uint32_t> name, double value);
  static FakeBinding OpaqueI64(std::vector<uint32_t> name, int64_t value);
  static FakeBinding OpaqueU64(std::vector<uint32_t> name, uint64_t value);
};

struct FakeRequest {
  int pdu_type = 0;  // e.g. 0xA5 for GETBULK
  int64_t version = 0;  // 1 for v2c
  std::string community;
  int64_t request_id = 0;
  // For PDUs other than GETBULK these two hold the error-status and error-index fields.
  int64_t non_repeaters = 0;
  int64_t max_repetitions = 0;
  std::vector<std::vector<uint32_t>> names;
};

struct FakeAnswer {
  int error_status = 0;
  int error_index = 0;
  std::vector<FakeBinding> bindings;
  // What a hostile or confused responder changes; by default the answer matches the request.
  std::optional<std::string> community = std::nullopt;  // instead of the request's
  uint8_t pdu_type = 0xA2;  // Response; 0xA8 is a Report
  int64_t request_id_shift = 0;  // added to the request's request-id
};

// Decides the answer to each request; std::nullopt keeps the agent silent for that request.
// It runs on the agent's thread, one request at a time.
using FakeScript = std::function<std::optional<FakeAnswer>(const FakeRequest&)>;

// A UDP SNMP v2c responder on 127.0.0.1 with an ephemeral port or a given one, serving from its own thread
// until destroyed. Answers carry version 1 and, unless the script says otherwise, the request's
// request-id and community;
// datagrams that are not SNMP messages are dropped unrecorded.
class FakeAgent {
 public:
  // On `port`, or an ephemeral one when 0; throws std::system_error if the socket cannot be set up.
  explicit FakeAgent(FakeScript script, uint16_t port = 0);
  ~FakeAgent();  // stops and joins promptly
  FakeAgent(const FakeAgent&) = delete;
  FakeAgent& operator=(const FakeAgent&) = delete;

  std::string address() const;  // "udp:127.0.0.1:PORT", usable as a Net-SNMP peername
  uint16_t port() const { return port_; }
  std::vector<FakeRequest> requests() const;  // every request received, in order (thread-safe)
  size_t request_count() const;
  void ForgetRequests();  // so a long run's log does not count as the client's memory

 private:
  void Serve();
  // The encoded answer to one datagram, or nothing when it is dropped or the script keeps silent.
  std::optional<std::string> Handle(std::string_view datagram);

  FakeScript script_;
  int socket_ = -1;
  int wake_read_ = -1;
  int wake_write_ = -1;
  uint16_t port_ = 0;
  mutable std::mutex mutex_;
  std::vector<FakeRequest> requests_;
  std::thread thread_;
};

// A ready-made script: a table of columns 1..N below `root` (OCTET STRING texts) answered like an
// RFC 3416 agent answers GETBULK (successors of the requested OID, up to max_repetitions for the
// repeaters) and GETNEXT, ending with `after_last` after the last column (e.g. an OID outside the
// root, or an endOfMibView). An `after_last` with an empty name takes the name it answers for, as
// an agent's endOfMibView repeats the requested OID. The repetitions stop once every repeater has
// reached the end; a repeater that ends before the others repeats its ending binding. Other PDU
// types get no answer.
FakeScript TableScript(std::vector<uint32_t> root, std::map<uint32_t, std::string> columns, FakeBinding after_last);
