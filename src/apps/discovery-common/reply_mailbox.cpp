#include "reply_mailbox.h"

#include <algorithm>
#include <utility>

bool ReplyMailbox::pending() const {
  return !waiting_.empty() || setup_ || counts_;
}

bool ReplyMailbox::post(SetupNews&& news) {
  std::lock_guard lock(mutex_);
  const bool was_empty = !pending();
  setup_ = std::move(news);
  return was_empty;
}

bool ReplyMailbox::post(const ReceiveCounts& counts) {
  std::lock_guard lock(mutex_);
  const bool was_empty = !pending();
  counts_ = counts;
  return was_empty;
}

bool ReplyMailbox::post(SightingBatch&& batch) {
  std::lock_guard lock(mutex_);
  const bool was_empty = !pending();
  for (Sighting& sighting : batch) {
    if (waiting_.size() >= kMaxWaiting) {
      ++dropped_;
      continue;
    }
    waiting_.push_back(std::move(sighting));
  }
  return was_empty && !waiting_.empty();
}

ReplyMailbox::Slice ReplyMailbox::take(std::size_t most) {
  Slice slice;
  std::lock_guard lock(mutex_);
  const std::size_t count = std::min(most, waiting_.size());
  slice.replies.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    slice.replies.push_back(std::move(waiting_.front()));
    waiting_.pop_front();
  }
  slice.dropped = std::exchange(dropped_, 0);
  slice.setup = std::exchange(setup_, std::nullopt);
  slice.counts = std::exchange(counts_, std::nullopt);
  slice.more = !waiting_.empty();
  return slice;
}
