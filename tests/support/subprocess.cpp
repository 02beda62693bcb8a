#include "subprocess.h"

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {

std::string TempFile(const char* role) {
  const char* dir = std::getenv("TMPDIR");
  std::string path = std::string(dir != nullptr ? dir : "/tmp") + "/runner-test-" + role + "-XXXXXX";
  const int fd = ::mkstemp(path.data());
  if (fd < 0) throw std::runtime_error("cannot create " + path);
  ::close(fd);
  return path;
}

std::string ReadFile(const std::string& path) {
  std::ifstream stream(path, std::ios::binary);
  std::ostringstream text;
  text << stream.rdbuf();
  return text.str();
}

}  // namespace

Subprocess::Subprocess(const std::vector<std::string>& argv,
                       std::optional<std::uint64_t> file_size_limit)
    : out_path_(TempFile("out")), err_path_(TempFile("err")) {
  std::vector<char*> args;
  for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  pid_ = ::fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    const int in = ::open("/dev/null", O_RDONLY);
    const int out = ::open(out_path_.c_str(), O_WRONLY | O_TRUNC);
    const int err = ::open(err_path_.c_str(), O_WRONLY | O_TRUNC);
    ::dup2(in, 0);
    ::dup2(out, 1);
    ::dup2(err, 2);
    if (file_size_limit) {
      const auto bytes = static_cast<rlim_t>(*file_size_limit);
      const struct rlimit limit {bytes, bytes};
      ::setrlimit(RLIMIT_FSIZE, &limit);
      ::signal(SIGXFSZ, SIG_IGN);
    }
    ::execv(args[0], args.data());
    ::_exit(127);
  }
}

Subprocess::~Subprocess() {
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  ::unlink(out_path_.c_str());
  ::unlink(err_path_.c_str());
}

void Subprocess::Signal(int signal) const { ::kill(pid_, signal); }

std::string Subprocess::OutputSoFar() const { return ReadFile(out_path_); }

std::string Subprocess::ErrorSoFar() const { return ReadFile(err_path_); }

ProcessResult Subprocess::Wait(std::chrono::seconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  int status = 0;
  while (::waitpid(pid_, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ADD_FAILURE() << "the program was still running after " << limit.count() << " s; killed";
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, &status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  pid_ = -1;
  ProcessResult result;
  if (WIFEXITED(status)) result.exit_code = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.term_signal = WTERMSIG(status);
  result.out = ReadFile(out_path_);
  result.err = ReadFile(err_path_);
  return result;
}

ProcessResult RunProcess(const std::vector<std::string>& argv) { return Subprocess(argv).Wait(); }

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}
