#include "plugin_log_tap.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <regex>

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include "runner_error.h"

namespace qiraoid {

namespace {

void WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(fd, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;
    data += written;
    size -= static_cast<size_t>(written);
  }
}

// The device and cause of a "device N agent A: failing: CAUSE" line, the device alone (empty
// cause) for a "device N agent A: answering again ..." line, nothing for any other line.
std::optional<std::pair<uint32_t, std::string>> FailingCauseOf(const std::string& line) {
  static const std::regex kDeviceLine(R"(device (\d{1,10}) agent \S*: (failing: (.*)|answering again .*))");
  std::smatch match;
  if (!std::regex_match(line, match, kDeviceLine)) return std::nullopt;
  const unsigned long long id = std::stoull(match[1].str());
  if (id > UINT32_MAX) return std::nullopt;
  return std::make_pair(static_cast<uint32_t>(id), match[3].str());
}

}  // namespace

PluginLogTap::PluginLogTap() {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) {
    throw RunnerError(std::string("cannot tap the plug-in's log: ") + std::strerror(errno));
  }
  std::fflush(stdout);
  ::dup2(ends[1], STDOUT_FILENO);
  ::close(ends[1]);
  read_end_ = ends[0];
  // The reader takes no signal: the runner's own signal handling stays where it is.
  sigset_t all;
  sigset_t before;
  sigfillset(&all);
  pthread_sigmask(SIG_BLOCK, &all, &before);
  reader_ = std::thread([this] { Pump(); });
  pthread_sigmask(SIG_SETMASK, &before, nullptr);
}

PluginLogTap::~PluginLogTap() {
  std::fflush(stdout);
  ::dup2(STDERR_FILENO, STDOUT_FILENO);  // the pipe's last write end goes: the reader sees its end
  reader_.join();
  ::close(read_end_);
}

std::optional<std::string> PluginLogTap::LastCause(uint32_t device) const {
  std::lock_guard<std::mutex> guard(mutex_);
  const auto found = causes_.find(device);
  if (found == causes_.end()) return std::nullopt;
  return found->second;
}

void PluginLogTap::Pump() {
  std::string pending;
  char buffer[4096];
  for (;;) {
    const ssize_t got = ::read(read_end_, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    WriteAll(STDERR_FILENO, buffer, static_cast<size_t>(got));
    pending.append(buffer, static_cast<size_t>(got));
    for (size_t end; (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1)) {
      Take(pending.substr(0, end));
    }
    if (pending.size() > 64 * 1024) pending.clear();  // no line of ours is that long
  }
}

void PluginLogTap::Take(const std::string& line) {
  const auto cause = FailingCauseOf(line);
  if (!cause) return;
  std::lock_guard<std::mutex> guard(mutex_);
  if (cause->second.empty()) {
    causes_.erase(cause->first);
  } else {
    causes_[cause->first] = cause->second;
  }
}

}  // namespace qiraoid
