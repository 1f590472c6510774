// Carries decoded replies from the listener thread to the GUI thread. The listener posts; the GUI thread
// is woken once per empty-to-non-empty change and takes replies in slices, so that a flood neither
// floods the event queue nor freezes the window.
#pragma once

#include <cstddef>
#include <deque>
#include <mutex>

#include "status_line.h"
#include "vantrel/receiver.h"

class ReplyMailbox {
 public:
  // Replies waiting beyond this are dropped (and counted): memory stays bounded when the window cannot
  // keep up with the network.
  static constexpr std::size_t kMaxWaiting = 250000;

  // Listener thread. Each is true when the GUI thread must be woken (nothing was waiting).
  bool post(SightingBatch&& batch);
  bool post(SetupNews&& news);             // once, after the set-up
  bool post(const ReceiveCounts& counts);  // the receive path's totals, whenever they grew

  struct Slice {
    SightingBatch replies;
    std::size_t dropped = 0;              // replies dropped since the last take
    std::optional<SetupNews> setup;       // news not taken yet
    std::optional<ReceiveCounts> counts;  // the latest totals, when they changed since the last take
    bool more = false;                    // replies still waiting: take again
  };
  // GUI thread. At most `most` replies, oldest first, and any news.
  Slice take(std::size_t most);

 private:
  bool pending() const;

  std::mutex mutex_;
  // Guarded by mutex_.
  std::deque<Sighting> waiting_;
  std::size_t dropped_ = 0;
  std::optional<SetupNews> setup_;
  std::optional<ReceiveCounts> counts_;
};
