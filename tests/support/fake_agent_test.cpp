// The fake agent is checked through the real Net-SNMP client, so what the plug-in will see is what
// these tests see.
#include "fake_agent.h"

#include <arpa/inet.h>
#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fake_agent_ber.h"

namespace {

using Name = std::vector<uint32_t>;

const Name kRoot = {1, 3, 6, 1, 4, 1, 99999, 1};

Name Below(Name name, std::initializer_list<uint32_t> tail) {
  name.insert(name.end(), tail);
  return name;
}

// One binding of a response as Net-SNMP parsed it.
struct Got {
  Name name;
  int type = 0;
  std::string text;
  int64_t integer = 0;
  uint64_t number = 0;
};

struct Reply {
  int status = STAT_ERROR;
  long error_status = 0;
  long error_index = 0;
  std::vector<Got> bindings;
};

void InitNetSnmpOnce() {
  static const bool done = [] {
    // No config files, MIBs or persistent state: the tests use numeric names only.
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_READ_CONFIGS, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_LOAD, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_SAVE, 1);
    setenv("MIBS", "", 1);
    init_snmp("fake_agent_test");
    return true;
  }();
  (void)done;
}

// A v2c client session with the community the plug-in uses.
class Client {
 public:
  explicit Client(const std::string& peer, long timeout_us = 2000000) {
    InitNetSnmpOnce();
    netsnmp_session session;
    snmp_sess_init(&session);
    session.version = SNMP_VERSION_2c;
    session.peername = const_cast<char*>(peer.c_str());
    session.community = reinterpret_cast<u_char*>(const_cast<char*>("qondel"));
    session.community_len = 6;
    session.timeout = timeout_us;
    session.retries = 0;
    handle_ = snmp_sess_open(&session);
  }
  ~Client() {
    if (handle_ != nullptr) snmp_sess_close(handle_);
  }
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;

  bool is_open() const { return handle_ != nullptr; }

  // Sends one request; `request_id` receives the id Net-SNMP gave it.
  Reply Send(int pdu_type, const std::vector<Name>& names, long non_repeaters = 0, long max_repetitions = 0,
             long* request_id = nullptr) {
    netsnmp_pdu* pdu = snmp_pdu_create(pdu_type);
    if (pdu_type == SNMP_MSG_GETBULK) {
      pdu->non_repeaters = non_repeaters;
      pdu->max_repetitions = max_repetitions;
    }
    for (const Name& name : names) {
      const std::vector<oid> sub(name.begin(), name.end());
      snmp_add_null_var(pdu, sub.data(), sub.size());
    }
    if (request_id != nullptr) *request_id = pdu->reqid;
    netsnmp_pdu* response = nullptr;
    Reply reply;
    reply.status = snmp_sess_synch_response(handle_, pdu, &response);
    if (response == nullptr) return reply;
    reply.error_status = response->errstat;
    reply.error_index = response->errindex;
    for (netsnmp_variable_list* v = response->variables; v != nullptr; v = v->next_variable) {
      Got got;
      got.name.assign(v->name, v->name + v->name_length);
      got.type = v->type;
      switch (v->type) {
        case ASN_OCTET_STR: got.text.assign(reinterpret_cast<const char*>(v->val.string), v->val_len); break;
        case ASN_INTEGER: got.integer = *v->val.integer; break;
        case ASN_COUNTER:
        case ASN_GAUGE:
        case ASN_TIMETICKS: got.number = static_cast<unsigned long>(*v->val.integer); break;
        case ASN_COUNTER64: got.number = (uint64_t{v->val.counter64->high} << 32) | v->val.counter64->low; break;
        default: break;
      }
      reply.bindings.push_back(std::move(got));
    }
    snmp_free_pdu(response);
    return reply;
  }

 private:
  void* handle_ = nullptr;
};

FakeScript Answer(std::vector<FakeBinding> bindings) {
  return [bindings](const FakeRequest&) { return FakeAnswer{0, 0, bindings}; };
}

TEST(FakeAgentTest, EachKindArrivesWithItsTypeAndValue) {
  struct Row {
    FakeBinding sent;
    int type;  // as Net-SNMP names it
  };
  // Edge values sit where BER lengths, sign bytes or sub-identifier groups change size.
  const Name big = {1, 3, 6, 1, 4, 1, 4294967295u, 127, 128, 16384};
  const std::vector<Row> rows = {
      {FakeBinding::Text(Below(big, {1}), ""), ASN_OCTET_STR},
      {FakeBinding::Text(Below(big, {2}), std::string("a\0\xff z", 5)), ASN_OCTET_STR},
      {FakeBinding::Text(Below(big, {3}), std::string(200, 'x')), ASN_OCTET_STR},
      {FakeBinding::Text(Below(big, {3, 1}), std::string(300, 'y')), ASN_OCTET_STR},
      {FakeBinding::Integer(Below(big, {4}), 0), ASN_INTEGER},
      {FakeBinding::Integer(Below(big, {5}), 128), ASN_INTEGER},
      {FakeBinding::Integer(Below(big, {6}), -129), ASN_INTEGER},
      {FakeBinding::Integer(Below(big, {7}), INT32_MIN), ASN_INTEGER},
      {FakeBinding::Integer(Below(big, {8}), INT32_MAX), ASN_INTEGER},
      {FakeBinding::Counter32(Below(big, {9}), 0), ASN_COUNTER},
      {FakeBinding::Counter32(Below(big, {10}), UINT32_MAX), ASN_COUNTER},
      {FakeBinding::Gauge32(Below(big, {11}), 0x80000000u), ASN_GAUGE},
      {FakeBinding::TimeTicks(Below(big, {12}), 123456), ASN_TIMETICKS},
      {FakeBinding::Unsigned32(Below(big, {13}), 128), ASN_UNSIGNED},
      {FakeBinding::Counter64(Below(big, {14}), (uint64_t{1} << 32) + 5), ASN_COUNTER64},
      {FakeBinding::Counter64(Below(big, {15}), UINT64_MAX), ASN_COUNTER64},
      {FakeBinding::Null(Below(big, {16})), ASN_NULL},
      {FakeBinding::EndOfMibView(Below(big, {17})), SNMP_ENDOFMIBVIEW},
      {FakeBinding::NoSuchObject(Below(big, {18})), SNMP_NOSUCHOBJECT},
      {FakeBinding::NoSuchInstance(Below(big, {19})), SNMP_NOSUCHINSTANCE},
  };
  std::vector<FakeBinding> sent;
  for (const Row& row : rows) sent.push_back(row.sent);
  FakeAgent agent(Answer(sent));
  Client client(agent.address());
  ASSERT_TRUE(client.is_open());

  // All rows in one answer, so several bindings per answer are covered too.
  const Reply reply = client.Send(SNMP_MSG_GETBULK, {kRoot}, 1, 100);
  ASSERT_EQ(reply.status, STAT_SUCCESS);
  EXPECT_EQ(reply.error_status, 0);
  ASSERT_EQ(reply.bindings.size(), rows.size());
  for (size_t i = 0; i < rows.size(); ++i) {
    const FakeBinding& want = rows[i].sent;
    const Got& got = reply.bindings[i];
    SCOPED_TRACE("row " + std::to_string(i));
    EXPECT_EQ(got.name, want.name);
    EXPECT_EQ(got.type, rows[i].type);
    EXPECT_EQ(got.text, want.text);
    EXPECT_EQ(got.integer, want.integer);
    EXPECT_EQ(got.number, want.number);
  }
}

TEST(FakeAgentTest, ErrorStatusAndEmptyAnswersComeThrough) {
  // The last sub-identifier of the request picks the answer, so one agent serves every case.
  FakeAgent agent([](const FakeRequest& request) -> std::optional<FakeAnswer> {
    const uint32_t pick = request.names.at(0).back();
    if (pick == 0) return FakeAnswer{};  // no error, no bindings
    return FakeAnswer{static_cast<int>(pick), 1, {FakeBinding::Null(request.names[0])}};
  });
  Client client(agent.address());
  struct Case {
    uint32_t error_status;
    size_t bindings;
  };
  for (const Case& c : {Case{0, 0}, Case{1, 1}, Case{5, 1}, Case{18, 1}}) {
    SCOPED_TRACE("error status " + std::to_string(c.error_status));
    const Reply reply = client.Send(SNMP_MSG_GETBULK, {Below(kRoot, {c.error_status})}, 1, 100);
    ASSERT_EQ(reply.status, STAT_SUCCESS);
    EXPECT_EQ(reply.error_status, static_cast<long>(c.error_status));
    EXPECT_EQ(reply.error_index, c.error_status == 0 ? 0 : 1);
    EXPECT_EQ(reply.bindings.size(), c.bindings);
  }
}

TEST(FakeAgentTest, SilenceTimesOutAndLaterRequestsAreStillAnswered) {
  int seen = 0;  // only touched on the agent's thread
  FakeAgent agent([&seen](const FakeRequest& request) -> std::optional<FakeAnswer> {
    if (seen++ == 0) return std::nullopt;
    return FakeAnswer{0, 0, {FakeBinding::Text(request.names.at(0), "late")}};
  });
  Client client(agent.address(), 200000);

  EXPECT_EQ(client.Send(SNMP_MSG_GETBULK, {kRoot}, 1, 100).status, STAT_TIMEOUT);
  const Reply second = client.Send(SNMP_MSG_GETBULK, {kRoot}, 1, 100);
  ASSERT_EQ(second.status, STAT_SUCCESS);
  ASSERT_EQ(second.bindings.size(), 1u);
  EXPECT_EQ(second.bindings[0].text, "late");
  EXPECT_EQ(agent.request_count(), 2u);
}

TEST(FakeAgentTest, RecordsEveryRequestInOrder) {
  FakeAgent agent(Answer({}));
  Client client(agent.address());
  const Name first = Below(kRoot, {4294967295u, 128});
  long bulk_id = 0;
  long next_id = 0;
  ASSERT_EQ(client.Send(SNMP_MSG_GETBULK, {first, kRoot}, 1, 7, &bulk_id).status, STAT_SUCCESS);
  ASSERT_EQ(client.Send(SNMP_MSG_GETNEXT, {kRoot}, 0, 0, &next_id).status, STAT_SUCCESS);

  const std::vector<FakeRequest> requests = agent.requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].pdu_type, SNMP_MSG_GETBULK);
  EXPECT_EQ(requests[0].version, SNMP_VERSION_2c);
  EXPECT_EQ(requests[0].community, "qondel");
  EXPECT_EQ(requests[0].request_id, bulk_id);
  EXPECT_EQ(requests[0].non_repeaters, 1);
  EXPECT_EQ(requests[0].max_repetitions, 7);
  EXPECT_EQ(requests[0].names, (std::vector<Name>{first, kRoot}));
  EXPECT_EQ(requests[1].pdu_type, SNMP_MSG_GETNEXT);
  EXPECT_EQ(requests[1].request_id, next_id);
  EXPECT_EQ(requests[1].names, std::vector<Name>{kRoot});
}

// A raw UDP socket, to send what no SNMP client would.
class RawSocket {
 public:
  explicit RawSocket(uint16_t port) : fd_(socket(AF_INET, SOCK_DGRAM, 0)) {
    peer_.sin_family = AF_INET;
    peer_.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    peer_.sin_port = htons(port);
  }
  ~RawSocket() { close(fd_); }
  void Send(const std::string& data) {
    ASSERT_EQ(sendto(fd_, data.data(), data.size(), 0, reinterpret_cast<const sockaddr*>(&peer_), sizeof peer_),
              static_cast<ssize_t>(data.size()));
  }
  // The next datagram, or nothing within two seconds.
  std::optional<std::string> Receive() {
    pollfd fd = {fd_, POLLIN, 0};
    if (poll(&fd, 1, 2000) != 1) return std::nullopt;
    std::string buffer(65536, '\0');
    const ssize_t got = recv(fd_, buffer.data(), buffer.size(), 0);
    if (got < 0) return std::nullopt;
    buffer.resize(static_cast<size_t>(got));
    return buffer;
  }

 private:
  int fd_;
  sockaddr_in peer_{};
};

std::string GetBulkMessage(int64_t request_id, const std::string& community, const std::string& oid_tlv) {
  namespace ber = fake_agent_ber;
  const std::string binding = ber::Encode(ber::kSequence, oid_tlv + ber::Encode(ber::kNull, {}));
  const std::string pdu = ber::EncodeInteger(request_id) + ber::EncodeInteger(1) + ber::EncodeInteger(100) +
                          ber::Encode(ber::kSequence, binding);
  return ber::Encode(ber::kSequence, ber::EncodeInteger(1) + ber::Encode(ber::kOctetString, community) +
                                         ber::Encode(ber::kGetBulkRequest, pdu));
}

TEST(FakeAgentTest, DropsMalformedDatagramsAndAnswersTheNextGoodOne) {
  namespace ber = fake_agent_ber;
  FakeAgent agent(Answer({FakeBinding::Counter32(kRoot, UINT32_MAX)}));
  RawSocket raw(agent.port());

  const std::string good = GetBulkMessage(0x7FFFFFFF, "other", ber::EncodeOid(kRoot));
  std::vector<std::string> garbage = {
      std::string("\x30\x84\xff\xff\xff\xff", 6),  // length past the end
      std::string("\x30\x89\x01", 3),  // more length bytes than there are
      std::string("\x30\x80\x00\x00", 4),  // indefinite length
      std::string("\x31\x00", 2),  // not a SEQUENCE
      // a sub-identifier of 2^32, one past what fits
      GetBulkMessage(1, "qondel", std::string("\x06\x06\x2b\x90\x80\x80\x80\x00", 8)),
  };
  for (size_t cut = 0; cut < good.size(); ++cut) garbage.push_back(good.substr(0, cut));
  for (const std::string& g : garbage) raw.Send(g);
  raw.Send(good);

  // One thread handles datagrams in arrival order, so once the good one is answered all were seen.
  const std::optional<std::string> answer = raw.Receive();
  ASSERT_TRUE(answer.has_value());
  ber::Reader outer(*answer);
  std::string_view message;
  ASSERT_TRUE(outer.Expect(ber::kSequence, &message));
  ber::Reader fields(message);
  int64_t version = -1;
  std::string community;
  std::string_view pdu;
  ASSERT_TRUE(fields.ReadInteger(&version) && fields.ReadOctetString(&community) &&
              fields.Expect(ber::kResponse, &pdu));
  EXPECT_EQ(version, 1);
  EXPECT_EQ(community, "other");
  ber::Reader pdu_fields(pdu);
  int64_t request_id = 0;
  ASSERT_TRUE(pdu_fields.ReadInteger(&request_id));
  EXPECT_EQ(request_id, 0x7FFFFFFF);
  // Written out by hand: Net-SNMP also reads a Counter32 that lacks the zero byte before 0xFF,
  // but a stricter client would take it as negative.
  const std::string tail(
      "\x02\x01\x00\x02\x01\x00"
      "\x30\x14\x30\x12\x06\x09\x2b\x06\x01\x04\x01\x86\x8d\x1f\x01\x41\x05\x00\xff\xff\xff\xff",
      28);
  EXPECT_EQ(std::string(pdu.substr(pdu.size() - std::min(pdu.size(), tail.size()))), tail);

  const std::vector<FakeRequest> requests = agent.requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].names, std::vector<Name>{kRoot});
}

std::string Render(const FakeBinding& b) {
  std::ostringstream out;
  for (size_t i = 0; i < b.name.size(); ++i) out << (i ? "." : "") << b.name[i];
  switch (b.kind) {
    case FakeBinding::Kind::kOctetString: out << "=" << b.text; break;
    case FakeBinding::Kind::kEndOfMibView: out << "=endOfMibView"; break;
    default: out << "=kind" << static_cast<int>(b.kind); break;
  }
  return out.str();
}

TEST(TableScriptTest, AnswersLikeAnAgentWalkingTheTable) {
  const Name outside = {1, 3, 6, 1, 4, 1, 99999, 2, 1};
  const FakeBinding beyond = FakeBinding::Text(outside, "beyond");
  const FakeBinding eom = FakeBinding::EndOfMibView();
  const Name c1 = Below(kRoot, {1}), c2 = Below(kRoot, {2}), c3 = Below(kRoot, {3});
  const std::string a = Render(FakeBinding::Text(c1, "a"));
  const std::string b = Render(FakeBinding::Text(c2, "b"));
  const std::string c = Render(FakeBinding::Text(c3, "c"));

  struct Case {
    const char* what;
    int pdu_type;
    int64_t non_repeaters, max_repetitions;
    std::vector<Name> names;
    FakeBinding after_last;
    std::optional<std::vector<std::string>> want;
  };
  const std::vector<Case> cases = {
      {"one non-repeater gets one successor", 0xA5, 1, 100, {kRoot}, beyond, {{a}}},
      {"a repeater walks past the last column", 0xA5, 0, 100, {kRoot}, beyond, {{a, b, c, Render(beyond)}}},
      {"max_repetitions caps the walk", 0xA5, 0, 2, {c1}, beyond, {{b, c}}},
      {"endOfMibView names the OID it follows", 0xA5, 0, 100, {c2}, eom, {{c, Render(FakeBinding::EndOfMibView(c3))}}},
      {"past the table the end comes at once", 0xA5, 1, 100, {Below(c3, {0})}, eom,
       {{Render(FakeBinding::EndOfMibView(Below(c3, {0})))}}},
      {"before the root starts at the first column", 0xA5, 1, 100, {{1, 3}}, beyond, {{a}}},
      {"non-repeaters first, then repeaters interleaved", 0xA5, 1, 2, {c2, kRoot, c1}, beyond, {{c, a, b, b, c}}},
      {"an ended repeater repeats its end", 0xA5, 0, 3, {c2, kRoot}, eom,
       {{c, a, Render(FakeBinding::EndOfMibView(c3)), b, Render(FakeBinding::EndOfMibView(c3)), c}}},
      {"non-repeaters beyond the count are all there are", 0xA5, 5, 100, {kRoot}, beyond, {{a}}},
      {"negative counts are zero", 0xA5, -1, -1, {kRoot}, beyond, {std::vector<std::string>{}}},
      {"GETNEXT answers each name once", 0xA1, 0, 0, {kRoot, c3}, beyond, {{a, Render(beyond)}}},
      {"GET is not answered", 0xA0, 0, 0, {c1}, beyond, std::nullopt},
  };
  for (const Case& t : cases) {
    SCOPED_TRACE(t.what);
    const FakeScript script = TableScript(kRoot, {{1, "a"}, {2, "b"}, {3, "c"}}, t.after_last);
    FakeRequest request;
    request.pdu_type = t.pdu_type;
    request.non_repeaters = t.non_repeaters;
    request.max_repetitions = t.max_repetitions;
    request.names = t.names;
    const std::optional<FakeAnswer> answer = script(request);
    ASSERT_EQ(answer.has_value(), t.want.has_value());
    if (!answer) continue;
    std::vector<std::string> got;
    for (const FakeBinding& binding : answer->bindings) got.push_back(Render(binding));
    EXPECT_EQ(got, *t.want);
  }
}

}  // namespace
