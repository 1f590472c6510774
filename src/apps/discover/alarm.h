// Raises a flag at a set time, from a thread of its own. The core's receive loop ends only when its stop
// flag is raised and calls us only when a reply arrives, so a deadline has to reach it through the flag.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

namespace discover {

using Clock = std::chrono::steady_clock;

class Alarm {
 public:
  explicit Alarm(std::atomic<bool>& flag);
  ~Alarm();
  Alarm(const Alarm&) = delete;
  Alarm& operator=(const Alarm&) = delete;

  // Lowers the flag and raises it again at `when`, replacing any earlier setting.
  void set(Clock::time_point when);

 private:
  void run();

  std::atomic<bool>& flag_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::optional<Clock::time_point> when_;  // guarded by mutex_
  bool quit_ = false;                      // guarded by mutex_
  std::thread thread_;                     // last: starts once the members above exist
};

}  // namespace discover
