#include "child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

namespace testbed {
namespace {

std::string temp_path(const char* tag) {
  static std::atomic<int> counter{0};
  return "/tmp/vantrel-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + "." + tag;
}

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream all;
  all << in.rdbuf();
  return all.str();
}

[[noreturn]] void exec_child(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                             const std::string& out_path, const std::string& err_path) {
  ::setpgid(0, 0);
  const int out = ::open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  const int err = ::open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  const int nul = ::open("/dev/null", O_RDONLY);
  if (out < 0 || err < 0 || nul < 0) ::_exit(127);
  ::dup2(nul, 0);
  ::dup2(out, 1);
  ::dup2(err, 2);
  for (const std::string& entry : env) ::putenv(const_cast<char*>(entry.c_str()));
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  ::execvp(args[0], args.data());
  ::_exit(127);
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env)
    : out_path_(temp_path("out")), err_path_(temp_path("err")) {
  pid_ = ::fork();
  if (pid_ == 0) exec_child(argv, env, out_path_, err_path_);
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0 && !reaped_) {
    ::kill(-pid_, SIGKILL);
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, &status_, 0);
  }
  ::unlink(out_path_.c_str());
  ::unlink(err_path_.c_str());
}

bool ChildProcess::running() {
  if (pid_ <= 0 || reaped_) return false;
  if (::waitpid(pid_, &status_, WNOHANG) == pid_) reaped_ = true;
  return !reaped_;
}

int ChildProcess::wait(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (running()) {
    if (std::chrono::steady_clock::now() >= deadline) {
      signal(SIGKILL);
      ::waitpid(pid_, &status_, 0);
      reaped_ = true;
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (!reaped_) return -1;
  if (WIFEXITED(status_)) return WEXITSTATUS(status_);
  if (WIFSIGNALED(status_)) return 128 + WTERMSIG(status_);
  return -1;
}

void ChildProcess::signal(int sig) {
  if (pid_ > 0 && !reaped_) {
    ::kill(pid_, sig);
    if (sig == SIGKILL) ::kill(-pid_, SIGKILL);
  }
}

std::string ChildProcess::out() const {
  return slurp(out_path_);
}
std::string ChildProcess::err() const {
  return slurp(err_path_);
}

bool ChildProcess::wait_for(const std::string& needle, std::chrono::milliseconds timeout, bool on_stderr) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < deadline) {
    if ((on_stderr ? err() : out()).find(needle) != std::string::npos) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return (on_stderr ? err() : out()).find(needle) != std::string::npos;
}

}  // namespace testbed
