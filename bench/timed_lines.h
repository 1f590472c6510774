// Runs a program and notes when each line of its output arrived, for benchmarks that time a stream.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

struct TimedLine {
  double ms = 0;  // since the program was started
  bool on_stderr = false;
  std::string text;
};

// Runs `argv` until it exits, `done(lines)` says so (then SIGTERM), or `timeout` passes (then SIGKILL).
// `cpu_seconds`, when given, receives the user and system time the program used.
std::vector<TimedLine> run_timed(const std::vector<std::string>& argv, std::chrono::milliseconds timeout,
                                 const std::function<bool(const std::vector<TimedLine>&)>& done,
                                 double* cpu_seconds = nullptr);
