// Preloaded into a process (LD_PRELOAD; under qemu-user as the guest's, `qemu-arm -E LD_PRELOAD=...`)
// to tell the address space it maps as the process itself sees it: under qemu-user the emulator's
// /proc/PID/status counts the 4 GiB it reserves for the guest, and the guest's /proc/self/stat
// has its memory fields 0, while the guest's /proc/self/maps lists the guest's own mappings.
// Every second a thread of its own rewrites the file named by QIRAOID_PROBE_FILE with one line:
// "address_space_kib peak_kib" (the sum of the mappings now, and the most seen).
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// The sum of the sizes of the mappings /proc/self/maps lists, in KiB; 0 when it cannot be read.
unsigned long long MappedKiB() {
  std::FILE* maps = std::fopen("/proc/self/maps", "r");
  if (maps == nullptr) return 0;
  unsigned long long bytes = 0;
  unsigned long long start = 0;
  unsigned long long end = 0;
  char line[512];
  while (std::fgets(line, sizeof line, maps) != nullptr) {
    if (std::sscanf(line, "%llx-%llx", &start, &end) == 2) bytes += end - start;
  }
  std::fclose(maps);
  return bytes / 1024;
}

void* Watch(void* path) {
  unsigned long long peak = 0;
  for (;;) {
    const unsigned long long now = MappedKiB();
    peak = std::max(peak, now);
    // Written aside and renamed, so that a reader never finds the file empty.
    const std::string target = static_cast<const char*>(path);
    const std::string aside = target + ".new";
    if (std::FILE* out = std::fopen(aside.c_str(), "w")) {
      std::fprintf(out, "%llu %llu\n", now, peak);
      std::fclose(out);
      std::rename(aside.c_str(), target.c_str());
    }
    sleep(1);
  }
  return nullptr;
}

__attribute__((constructor)) void StartWatching() {
  const char* path = std::getenv("QIRAOID_PROBE_FILE");
  if (path == nullptr) return;
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setstacksize(&attributes, 64 * 1024);
  pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
  // The thread takes no signal: a process-directed SIGTERM must reach the threads the process
  // itself lets take it, or the default action would end the process before its own handling.
  sigset_t all;
  sigset_t previous;
  sigfillset(&all);
  pthread_sigmask(SIG_SETMASK, &all, &previous);
  pthread_t thread;
  pthread_create(&thread, &attributes, &Watch, const_cast<char*>(path));
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  pthread_attr_destroy(&attributes);
}

}  // namespace
