// A program started for a test, with its standard output and standard error kept in files so that a
// chatty child can never block on a full pipe. Killed (with its process group) if still running at the end.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace testbed {

class ChildProcess {
 public:
  // `env`: extra NAME=VALUE entries on top of this process's environment.
  explicit ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env = {});
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool started() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }

  // The exit code; 128 + signal when a signal ended it; -1 when it was still running at the timeout
  // (it is killed then).
  int wait(std::chrono::milliseconds timeout);
  bool running();
  void signal(int sig);

  std::string out() const;
  std::string err() const;

  // Polls until `needle` shows up on stdout (or stderr), or the timeout.
  bool wait_for(const std::string& needle, std::chrono::milliseconds timeout, bool on_stderr = false);

 private:
  pid_t pid_ = -1;
  int status_ = -1;
  bool reaped_ = false;
  std::string out_path_;
  std::string err_path_;
};

}  // namespace testbed
