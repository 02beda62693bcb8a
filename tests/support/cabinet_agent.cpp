#include "cabinet_agent.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <system_error>

extern char** environ;

namespace {

// Through bash, so that the script needs no execute bit wherever the sources were copied.
constexpr const char* kBash = "/bin/bash";

struct Outcome {
  int exit_code = -1;  // -1: killed by a signal
  std::string output;  // stdout and stderr together, as a person would have seen them
};

// posix_spawn rather than fork: tests may have threads, and the sanitizers handle it.
Outcome Run(const std::vector<std::string>& args) {
  int pipe_fds[2];
  if (pipe2(pipe_fds, O_CLOEXEC) != 0) throw std::system_error(errno, std::generic_category(), "pipe2");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], 1);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], 2);
  // Whatever this test blocks or ignores, the cabinet's processes must get their signals.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t signals;
  sigemptyset(&signals);
  posix_spawnattr_setsigmask(&attributes, &signals);
  for (int signal : {SIGTERM, SIGINT, SIGHUP, SIGPIPE, SIGCHLD}) sigaddset(&signals, signal);
  posix_spawnattr_setsigdefault(&attributes, &signals);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int spawn_error = posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  close(pipe_fds[1]);
  if (spawn_error != 0) {
    close(pipe_fds[0]);
    throw std::system_error(spawn_error, std::generic_category(), "cannot run " + args[0]);
  }
  Outcome outcome;
  char buffer[4096];
  for (;;) {
    const ssize_t n = read(pipe_fds[0], buffer, sizeof buffer);
    if (n > 0) {
      outcome.output.append(buffer, static_cast<size_t>(n));
    } else if (n == 0 || errno != EINTR) {
      break;
    }
  }
  close(pipe_fds[0]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status)) outcome.exit_code = WEXITSTATUS(status);
  return outcome;
}

std::string MakeDirectory() {
  std::string pattern = (std::filesystem::temp_directory_path() / "cabinet-agent-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    throw std::system_error(errno, std::generic_category(), "mkdtemp " + pattern);
  }
  return pattern;
}

// From "cabinet ready on udp:127.0.0.1:PORT (state in DIR)".
std::string ReadyAddress(const std::string& output) {
  const std::string marker = "cabinet ready on ";
  const size_t at = output.find(marker);
  if (at == std::string::npos) return {};
  const size_t begin = at + marker.size();
  return output.substr(begin, output.find_first_of(" \n", begin) - begin);
}

}  // namespace

CabinetAgent::CabinetAgent() : CabinetAgent(Options{}) {}

CabinetAgent::CabinetAgent(Options options, const std::string& values) : directory_(MakeDirectory()) {
  std::vector<std::string> start = {kBash, CABINET_COMMAND, "start", "--dir", directory_, "--view",
                                    options.restricted_view ? "cabinet" : "full",
                                    // Should the test die without unwinding, the agent goes too.
                                    "--watch-pid", std::to_string(getpid())};
  for (int address : options.addresses) {
    start.push_back("--address");
    start.push_back(std::to_string(address));
  }
  if (!values.empty()) {
    const std::string path = directory_ + "/test-values";
    std::ofstream(path) << values;
    start.insert(start.end(), {"--values", path});
  }
  start.insert(start.end(), {"--community", options.community});
  for (const std::string& user : options.v3_users) start.insert(start.end(), {"--v3-user", user});
  if (!options.engine_id.empty()) {
    start.insert(start.end(), {"--engine-id", options.engine_id, "--engine-boots", std::to_string(options.engine_boots)});
  }
  try {
    Start(start);
  } catch (...) {
    Run({kBash, CABINET_COMMAND, "stop", "--dir", directory_});
    std::error_code ignored;
    std::filesystem::remove_all(directory_, ignored);
    throw;
  }
}

// 'cabinet start' already moves on when its port is taken; a whole new try covers the rarer
// failures of a loaded machine running many tests at once.
void CabinetAgent::Start(std::vector<std::string> command) {
  start_ = std::move(command);
  std::string failures;
  for (int attempt = 1; attempt <= 3; ++attempt) {
    const Outcome outcome = Run(start_);
    if (outcome.exit_code == 0) {
      address_ = ReadyAddress(outcome.output);
      if (!address_.empty()) return;
    }
    failures += "attempt " + std::to_string(attempt) + ":\n" + outcome.output;
    if (outcome.exit_code == 2) break;  // refused its arguments: trying again won't help
  }
  throw std::runtime_error("the cabinet agent did not start:\n" + failures);
}

void CabinetAgent::Restart() {
  Run({kBash, CABINET_COMMAND, "stop", "--dir", directory_});
  std::vector<std::string> again = start_;
  again.insert(again.end(), {"--port", std::to_string(port())});
  Start(std::move(again));
}

CabinetAgent::~CabinetAgent() {
  try {
    Run({kBash, CABINET_COMMAND, "stop", "--dir", directory_});
  } catch (...) {
    // A destructor has no one to tell; the watcher stops the agent once this process is gone.
  }
  std::error_code ignored;
  std::filesystem::remove_all(directory_, ignored);
}

void CabinetAgent::SetColumns(int device_address, const std::map<int, std::string>& columns) {
  if (columns.empty()) return;
  std::vector<std::string> set = {kBash, CABINET_COMMAND, "set", "--dir", directory_, "--address",
                                  std::to_string(device_address), "--"};
  for (const auto& [column, value] : columns) set.push_back(std::to_string(column) + "=" + value);
  const Outcome outcome = Run(set);
  if (outcome.exit_code != 0) throw std::runtime_error("cabinet set failed: " + outcome.output);
}

uint16_t CabinetAgent::port() const {
  return static_cast<uint16_t>(std::stoi(address_.substr(address_.rfind(':') + 1)));
}
