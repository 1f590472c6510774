#include "reply_mailbox.h"

#include <algorithm>
#include <utility>

bool ReplyMailbox::post(SightingBatch&& batch) {
  std::lock_guard lock(mutex_);
  const bool was_empty = waiting_.empty();
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
  slice.more = !waiting_.empty();
  return slice;
}
