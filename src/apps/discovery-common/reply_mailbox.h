// Carries decoded replies from the listener thread to the GUI thread. The listener posts; the GUI thread
// is woken once per empty-to-non-empty change and takes replies in slices, so that a flood neither
// floods the event queue nor freezes the window.
#pragma once

#include <cstddef>
#include <deque>
#include <mutex>

#include "vantrel/receiver.h"

class ReplyMailbox {
 public:
  // Replies waiting beyond this are dropped (and counted): memory stays bounded when the window cannot
  // keep up with the network.
  static constexpr std::size_t kMaxWaiting = 250000;

  // Listener thread. True when the GUI thread must be woken (the mailbox was empty).
  bool post(SightingBatch&& batch);

  struct Slice {
    SightingBatch replies;
    std::size_t dropped = 0;  // replies dropped since the last take
    bool more = false;        // replies still waiting: take again
  };
  // GUI thread. At most `most` replies, oldest first.
  Slice take(std::size_t most);

 private:
  std::mutex mutex_;
  std::deque<Sighting> waiting_;  // guarded by mutex_
  std::size_t dropped_ = 0;       // guarded by mutex_
};
