#include "interrupt.h"

#include <csignal>

namespace discover {
namespace {

// Only lock-free atomics may be touched from a signal handler.
static_assert(std::atomic<bool>::is_always_lock_free);
static_assert(std::atomic<std::atomic<bool>*>::is_always_lock_free);

std::atomic<bool> interrupt_seen{false};
std::atomic<std::atomic<bool>*> wake_flag{nullptr};

void on_stop_signal(int) {
  interrupt_seen = true;
  if (std::atomic<bool>* wake = wake_flag.load()) *wake = true;
}

}  // namespace

void stop_on_interrupt(std::atomic<bool>* wake) {
  wake_flag = wake;
  std::signal(SIGINT, on_stop_signal);
  std::signal(SIGTERM, on_stop_signal);
}

bool interrupted() {
  return interrupt_seen;
}

}  // namespace discover
