#include "fake_agent.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <cerrno>
#include <exception>
#include <iostream>
#include <system_error>
#include <utility>

#include "fake_agent_ber.h"

namespace ber = fake_agent_ber;

namespace {

FakeBinding Make(std::vector<uint32_t> name, FakeBinding::Kind kind) {
  FakeBinding b;
  b.name = std::move(name);
  b.kind = kind;
  return b;
}

FakeBinding MakeNumber(std::vector<uint32_t> name, FakeBinding::Kind kind, uint64_t value) {
  FakeBinding b = Make(std::move(name), kind);
  b.number = value;
  return b;
}

FakeBinding MakeSigned(std::vector<uint32_t> name, FakeBinding::Kind kind, int64_t value) {
  FakeBinding b = Make(std::move(name), kind);
  b.integer = value;
  return b;
}

FakeBinding MakeReal(std::vector<uint32_t> name, FakeBinding::Kind kind, double value) {
  FakeBinding b = Make(std::move(name), kind);
  b.real = value;
  return b;
}

// IEEE 754 bytes in network order, as Opaque floats and doubles carry them.
template <typename Real>
std::string BigEndian(Real value) {
  unsigned char bytes[sizeof value];
  std::memcpy(bytes, &value, sizeof value);
  return std::string(std::rbegin(bytes), std::rend(bytes));
}

std::string EncodeValue(const FakeBinding& b) {
  using Kind = FakeBinding::Kind;
  switch (b.kind) {
    case Kind::kOctetString: return ber::Encode(ber::kOctetString, b.text);
    case Kind::kInteger: return ber::EncodeInteger(b.integer);
    case Kind::kCounter32: return ber::EncodeUnsigned(ber::kCounter32, b.number);
    case Kind::kGauge32:
    case Kind::kUnsigned32: return ber::EncodeUnsigned(ber::kGauge32, b.number);
    case Kind::kTimeTicks: return ber::EncodeUnsigned(ber::kTimeTicks, b.number);
    case Kind::kCounter64: return ber::EncodeUnsigned(ber::kCounter64, b.number);
    case Kind::kNull: return ber::Encode(ber::kNull, {});
    case Kind::kEndOfMibView: return ber::Encode(ber::kEndOfMibView, {});
    case Kind::kNoSuchObject: return ber::Encode(ber::kNoSuchObject, {});
    case Kind::kNoSuchInstance: return ber::Encode(ber::kNoSuchInstance, {});
    case Kind::kOpaqueFloat: return ber::EncodeOpaque(ber::kOpaqueFloat, BigEndian(static_cast<float>(b.real)));
    case Kind::kOpaqueDouble: return ber::EncodeOpaque(ber::kOpaqueDouble, BigEndian(b.real));
    case Kind::kOpaqueI64: return ber::EncodeOpaque(ber::kOpaqueI64, ber::IntegerContents(b.integer));
    case Kind::kOpaqueU64: return ber::EncodeOpaque(ber::kOpaqueU64, ber::UnsignedContents(b.number));
  }
  return ber::Encode(ber::kNull, {});
}

// message = SEQUENCE { version, community, PDU { request-id, int, int, SEQUENCE OF { name, value } } }
std::optional<FakeRequest> DecodeRequest(std::string_view datagram) {
  ber::Reader outer(datagram);
  std::string_view message;
  if (!outer.Expect(ber::kSequence, &message)) return std::nullopt;

  FakeRequest request;
  ber::Reader fields(message);
  ber::Tlv pdu;
  if (!fields.ReadInteger(&request.version) || !fields.ReadOctetString(&request.community) || !fields.Next(&pdu) ||
      pdu.tag < ber::kGetRequest || pdu.tag > ber::kLastPdu) {
    return std::nullopt;
  }
  request.pdu_type = pdu.tag;

  ber::Reader pdu_fields(pdu.contents);
  std::string_view bindings;
  if (!pdu_fields.ReadInteger(&request.request_id) || !pdu_fields.ReadInteger(&request.non_repeaters) ||
      !pdu_fields.ReadInteger(&request.max_repetitions) || !pdu_fields.Expect(ber::kSequence, &bindings)) {
    return std::nullopt;
  }
  ber::Reader list(bindings);
  while (!list.AtEnd()) {
    std::string_view binding;
    ber::Tlv value;
    std::vector<uint32_t> name;
    if (!list.Expect(ber::kSequence, &binding)) return std::nullopt;
    ber::Reader pair(binding);
    if (!pair.ReadOid(&name) || !pair.Next(&value)) return std::nullopt;  // the value is ignored
    request.names.push_back(std::move(name));
  }
  return request;
}

std::string EncodeResponse(const FakeRequest& request, const FakeAnswer& answer) {
  std::string bindings;
  for (const FakeBinding& b : answer.bindings) {
    bindings += ber::Encode(ber::kSequence, ber::EncodeOid(b.name) + EncodeValue(b));
  }
  const std::string pdu = ber::EncodeInteger(request.request_id + answer.request_id_shift) +
                          ber::EncodeInteger(answer.error_status) + ber::EncodeInteger(answer.error_index) +
                          ber::Encode(ber::kSequence, bindings);
  return ber::Encode(ber::kSequence, ber::EncodeInteger(1) +
                                         ber::Encode(ber::kOctetString, answer.community.value_or(request.community)) +
                                         ber::Encode(answer.pdu_type, pdu));
}

[[noreturn]] void ThrowErrno(const char* what) { throw std::system_error(errno, std::generic_category(), what); }

}  // namespace

FakeBinding FakeBinding::Text(std::vector<uint32_t> name, std::string text) {
  FakeBinding b = Make(std::move(name), Kind::kOctetString);
  b.text = std::move(text);
  return b;
}
FakeBinding FakeBinding::Integer(std::vector<uint32_t> name, int64_t value) {
  return MakeSigned(std::move(name), Kind::kInteger, value);
}
FakeBinding FakeBinding::Counter32(std::vector<uint32_t> name, uint64_t value) {
  return MakeNumber(std::move(name), Kind::kCounter32, value);
}
FakeBinding FakeBinding::Gauge32(std::vector<uint32_t> name, uint64_t value) {
  return MakeNumber(std::move(name), Kind::kGauge32, value);
}
FakeBinding FakeBinding::TimeTicks(std::vector<uint32_t> name, uint64_t value) {
  return MakeNumber(std::move(name), Kind::kTimeTicks, value);
}
FakeBinding FakeBinding::Counter64(std::vector<uint32_t> name, uint64_t value) {
  return MakeNumber(std::move(name), Kind::kCounter64, value);
}
FakeBinding FakeBinding::Unsigned32(std::vector<uint32_t> name, uint64_t value) {
  return MakeNumber(std::move(name), Kind::kUnsigned32, value);
}
FakeBinding FakeBinding::Null(std::vector<uint32_t> name) { return Make(std::move(name), Kind::kNull); }
FakeBinding FakeBinding::EndOfMibView(std::vector<uint32_t> name) { return Make(std::move(name), Kind::kEndOfMibView); }
FakeBinding FakeBinding::NoSuchObject(std::vector<uint32_t> name) { return Make(std::move(name), Kind::kNoSuchObject); }
FakeBinding FakeBinding::NoSuchInstance(std::vector<uint32_t> name) {
  return Make(std::move(name), Kind::kNoSuchInstance);
}
FakeBinding FakeBinding::OpaqueFloat(std::vector<uint32_t> name, float value) {
  return MakeReal(std::move(name), Kind::kOpaqueFloat, value);
}
FakeBinding FakeBinding::OpaqueDouble(std::vector<uint32_t> name, double value) {
  return MakeReal(std::move(name), Kind::kOpaqueDouble, value);
}
FakeBinding FakeBinding::OpaqueI64(std::vector<uint32_t> name, int64_t value) {
  return MakeSigned(std::move(name), Kind::kOpaqueI64, value);
}
FakeBinding FakeBinding::OpaqueU64(std::vector<uint32_t> name, uint64_t value) {
  return MakeNumber(std::move(name), Kind::kOpaqueU64, value);
}

FakeAgent::FakeAgent(FakeScript script, uint16_t port) : script_(std::move(script)) {
  int wake[2];
  if (pipe2(wake, O_CLOEXEC) != 0) ThrowErrno("pipe2");
  wake_read_ = wake[0];
  wake_write_ = wake[1];

  socket_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  local.sin_port = htons(port);
  socklen_t local_size = sizeof local;
  if (socket_ < 0 || bind(socket_, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
      getsockname(socket_, reinterpret_cast<sockaddr*>(&local), &local_size) != 0) {
    const int error = errno;
    for (int fd : {socket_, wake_read_, wake_write_}) {
      if (fd >= 0) close(fd);
    }
    throw std::system_error(error, std::generic_category(), "fake agent socket");
  }
  port_ = ntohs(local.sin_port);
  thread_ = std::thread(&FakeAgent::Serve, this);
}

FakeAgent::~FakeAgent() {
  // Closing the write end wakes the poll at once, however long the agent has been idle.
  close(wake_write_);
  thread_.join();
  close(wake_read_);
  close(socket_);
}

std::string FakeAgent::address() const { return "udp:127.0.0.1:" + std::to_string(port_); }

std::vector<FakeRequest> FakeAgent::requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

size_t FakeAgent::request_count() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_.size();
}

void FakeAgent::ForgetRequests() {
  std::lock_guard<std::mutex> lock(mutex_);
  requests_.clear();
}

void FakeAgent::Serve() {
  std::string buffer(65536, '\0');
  for (;;) {
    pollfd fds[2] = {{socket_, POLLIN, 0}, {wake_read_, POLLIN, 0}};
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      std::cerr << "fake agent: poll failed, stopping\n";
      return;
    }
    if (fds[1].revents != 0) return;
    if (fds[0].revents == 0) continue;

    sockaddr_in peer{};
    socklen_t peer_size = sizeof peer;
    const ssize_t got =
        recvfrom(socket_, buffer.data(), buffer.size(), 0, reinterpret_cast<sockaddr*>(&peer), &peer_size);
    if (got < 0) continue;  // e.g. an ICMP error from an earlier answer; nothing to do
    const std::optional<std::string> reply = Handle(std::string_view(buffer.data(), static_cast<size_t>(got)));
    if (reply) {
      // A lost answer is what UDP allows; the client's timeout covers it.
      (void)sendto(socket_, reply->data(), reply->size(), 0, reinterpret_cast<sockaddr*>(&peer), peer_size);
    }
  }
}

std::optional<std::string> FakeAgent::Handle(std::string_view datagram) {
  std::optional<FakeRequest> request = DecodeRequest(datagram);
  if (!request) return std::nullopt;
  {
    // Recorded before the script runs, so a test sees the request even when the answer is silence.
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.push_back(*request);
  }
  std::optional<FakeAnswer> answer;
  try {
    answer = script_(*request);
  } catch (const std::exception& e) {
    // Throwing here would end the whole test binary; an unanswered request fails the test more readably.
    std::cerr << "fake agent: script threw, not answering: " << e.what() << "\n";
    return std::nullopt;
  }
  if (!answer) return std::nullopt;
  return EncodeResponse(*request, *answer);
}

FakeScript TableScript(std::vector<uint32_t> root, std::map<uint32_t, std::string> columns, FakeBinding after_last) {
  std::map<std::vector<uint32_t>, std::string> objects;
  for (const auto& [column, text] : columns) {
    std::vector<uint32_t> name = root;
    name.push_back(column);
    objects.emplace(std::move(name), text);
  }
  // The binding that follows `name`: its lexicographic successor, or the end.
  auto next = [objects = std::move(objects), after_last = std::move(after_last)](
                  const std::vector<uint32_t>& name, bool* ended) {
    const auto it = objects.upper_bound(name);
    *ended = it == objects.end();
    if (!*ended) return FakeBinding::Text(it->first, it->second);
    FakeBinding end = after_last;
    if (end.name.empty()) end.name = name;
    return end;
  };

  return [next = std::move(next)](const FakeRequest& request) -> std::optional<FakeAnswer> {
    const auto count = static_cast<int64_t>(request.names.size());
    int64_t non_repeaters;
    int64_t repetitions;
    if (request.pdu_type == ber::kGetNextRequest) {
      non_repeaters = count;
      repetitions = 0;
    } else if (request.pdu_type == ber::kGetBulkRequest) {
      non_repeaters = std::clamp<int64_t>(request.non_repeaters, 0, count);
      repetitions = std::max<int64_t>(request.max_repetitions, 0);
    } else {
      return std::nullopt;
    }

    FakeAnswer answer;
    bool ended = false;
    for (int64_t i = 0; i < non_repeaters; ++i) answer.bindings.push_back(next(request.names[i], &ended));

    // Each repeater walks on from its own last answer, interleaved per repetition.
    std::vector<std::vector<uint32_t>> cursors(request.names.begin() + non_repeaters, request.names.end());
    std::vector<bool> done(cursors.size(), false);
    for (int64_t r = 0; r < repetitions && !cursors.empty(); ++r) {
      if (std::all_of(done.begin(), done.end(), [](bool d) { return d; })) break;
      for (size_t i = 0; i < cursors.size(); ++i) {
        FakeBinding b = next(cursors[i], &ended);
        if (ended) {
          done[i] = true;
        } else {
          cursors[i] = b.name;
        }
        answer.bindings.push_back(std::move(b));
      }
    }
    return answer;
  };
}
