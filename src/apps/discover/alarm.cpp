#include "alarm.h"

namespace discover {

Alarm::Alarm(std::atomic<bool>& flag) : flag_(flag), thread_([this] { run(); }) {}

Alarm::~Alarm() {
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
  }
  changed_.notify_one();
  thread_.join();
}

void Alarm::set(Clock::time_point when) {
  {
    // Under the lock, so that an earlier setting cannot fire between lowering the flag and replacing it.
    std::lock_guard lock(mutex_);
    flag_ = false;
    when_ = when;
  }
  changed_.notify_one();
}

void Alarm::run() {
  std::unique_lock lock(mutex_);
  while (!quit_) {
    if (!when_) {
      changed_.wait(lock);
    } else if (Clock::now() >= *when_) {
      flag_ = true;
      when_.reset();
    } else {
      changed_.wait_until(lock, *when_);
    }
  }
}

}  // namespace discover
