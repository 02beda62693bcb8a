// The sampling thread's stack high-water mark: each case runs passes of the device on a thread
// whose stack is painted with a pattern beforehand, then finds the deepest byte the pass changed.
// Covers both request shapes, each mode's round (the alarm reports of mode 2 included), and the
// retransmission and fallback paths of a lossy or silent link. Prints KiB per case.
#include <sys/mman.h>

#include <pthread.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>

#include "cabinet_agent.h"
#include "qiraoid_probe.h"
#include "standin_host.h"
#include "test_device.h"
#include "udp_relay.h"

namespace {

constexpr size_t kPaintedBytes = 8 * 1024 * 1024;
constexpr unsigned char kPaint = 0xA5;

void* RunBody(void* body) {
  (*static_cast<std::function<void()>*>(body))();
  return nullptr;
}

// Bytes of stack (the thread's TLS and descriptor included) that body touched.
size_t HighWater(std::function<void()> body) {
  void* stack = mmap(nullptr, kPaintedBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (stack == MAP_FAILED) return 0;
  std::memset(stack, kPaint, kPaintedBytes);
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setstack(&attributes, stack, kPaintedBytes);
  pthread_t thread;
  if (pthread_create(&thread, &attributes, RunBody, &body) == 0) pthread_join(thread, nullptr);
  pthread_attr_destroy(&attributes);
  const auto* bytes = static_cast<const unsigned char*>(stack);
  size_t untouched = 0;
  while (untouched < kPaintedBytes && bytes[untouched] == kPaint) ++untouched;
  munmap(stack, kPaintedBytes);
  return kPaintedBytes - untouched;
}

struct Case {
  int mode;
  long repetitions;  // 0: one binding per request
  double loss;       // each way, through the test relay
};

void Measure(const Case& c, const CabinetAgent& agent) {
  UdpRelay link(agent.port(), {c.loss, c.loss / 3, {}, 7});
  QiraoidProbe device;
  const std::string mode = "{\"appSetting\":{\"b_mode\":\"" + std::to_string(c.mode) + "\"}," +
                           R"("thresholdSetting":{"1":{"NMAlarmID":"1","ID":"2","SignalNumber":"3"}}})";
  InitHostSide(device, 12, R"({"agent":")" + link.address() + R"(","address":4})");
  device.UniDataDevice::InitSetting(ParseJson(mode));  // the settings, without the device's own thread
  device.AskForRepetitions(c.repetitions);
  device.ReadAccess(ParseJson(R"({"timeout_seconds":"0.02"})"));
  const size_t bytes = HighWater([&device] {
    for (int pass = 0; pass < 2; ++pass) device.do_sample();
  });
  std::fprintf(stderr, "mode %d, %-12s %4.0f %% loss: %6.1f KiB (%zu rounds)\n", c.mode,
               c.repetitions == 0 ? "one binding," : "bulk 100,", c.loss * 100, bytes / 1024.0,
               standin::PublishedOf(device).size());
}

}  // namespace

int main() {
  CabinetAgent agent;
  agent.SetColumns(4, {{324, "1"}, {241, "1"}});
  const Case cases[] = {{1, 0, 0.0},   {2, 0, 0.0},   {3, 0, 0.0},   {1, 100, 0.0},
                        {2, 100, 0.0}, {3, 100, 0.0}, {2, 0, 0.1},   {2, 100, 0.1}};
  std::FILE* saved = stdout;
  stdout = std::fopen("/dev/null", "w");  // the passes' log lines
  for (const Case& c : cases) Measure(c, agent);
  std::fclose(stdout);
  stdout = saved;
  return 0;
}
