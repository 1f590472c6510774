#include "timed_lines.h"

#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

[[noreturn]] void exec_child(const std::vector<std::string>& argv, int out, int err) {
  ::dup2(out, 1);
  ::dup2(err, 2);
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  ::execvp(args[0], args.data());
  ::_exit(127);
}

// Appends the complete lines in `pending` to `lines`, keeping a partial last line for later.
void split_lines(std::string& pending, bool on_stderr, double ms, std::vector<TimedLine>& lines) {
  for (size_t end = pending.find('\n'); end != std::string::npos; end = pending.find('\n')) {
    lines.push_back({ms, on_stderr, pending.substr(0, end)});
    pending.erase(0, end + 1);
  }
}

}  // namespace

std::vector<TimedLine> run_timed(const std::vector<std::string>& argv, std::chrono::milliseconds timeout,
                                 const std::function<bool(const std::vector<TimedLine>&)>& done,
                                 double* cpu_seconds) {
  int out[2];
  int err[2];
  std::vector<TimedLine> lines;
  if (::pipe(out) != 0 || ::pipe(err) != 0) return lines;
  const auto started = Clock::now();
  const pid_t pid = ::fork();
  if (pid == 0) exec_child(argv, out[1], err[1]);
  ::close(out[1]);
  ::close(err[1]);
  std::string pending[2];
  bool open[2] = {true, true};
  bool signalled = false;
  while (open[0] || open[1]) {
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    ::poll(fds, 2, 50);
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - started).count();
    for (int i = 0; i < 2; ++i) {
      if (!open[i] || (fds[i].revents & (POLLIN | POLLHUP)) == 0) continue;
      char chunk[65536];
      const ssize_t got = ::read(fds[i].fd, chunk, sizeof chunk);
      if (got <= 0) {
        open[i] = false;
        continue;
      }
      pending[i].append(chunk, static_cast<size_t>(got));
      split_lines(pending[i], i == 1, ms, lines);
    }
    if (!signalled && (done(lines) || Clock::now() - started > timeout)) {
      ::kill(pid, Clock::now() - started > timeout ? SIGKILL : SIGTERM);
      signalled = true;
    }
  }
  ::close(out[0]);
  ::close(err[0]);
  rusage usage{};
  ::wait4(pid, nullptr, 0, &usage);
  if (cpu_seconds != nullptr) {
    const auto seconds = [](const timeval& t) {
      return static_cast<double>(t.tv_sec) + 1e-6 * static_cast<double>(t.tv_usec);
    };
    *cpu_seconds = seconds(usage.ru_utime) + seconds(usage.ru_stime);
  }
  return lines;
}
