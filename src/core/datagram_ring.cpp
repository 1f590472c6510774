#include "vantrel/datagram_ring.h"

#include <cstring>

namespace {
constexpr std::size_t kAlignment = alignof(std::max_align_t);
}

DatagramRing::DatagramRing(std::size_t bytes)
    : block_(new char[bytes]), capacity_(bytes) {}  // not zeroed: pages stay uncommitted

std::size_t DatagramRing::record_bytes(std::size_t size) {
  const std::size_t bytes = sizeof(Header) + size;
  return (bytes + kAlignment - 1) / kAlignment * kAlignment;
}

char* DatagramRing::place_for(std::size_t bytes) {
  if (count_ == 0) {  // an empty ring starts over at the front
    head_ = tail_ = 0;
    wrapped_ = false;
  }
  if (wrapped_) return head_ - tail_ >= bytes ? block_.get() + tail_ : nullptr;
  if (capacity_ - tail_ >= bytes) return block_.get() + tail_;
  if (head_ < bytes) return nullptr;
  wrap_ = tail_;  // too little room at the end: go on at the front, below the oldest record
  tail_ = 0;
  wrapped_ = true;
  return block_.get();
}

bool DatagramRing::push(const sockaddr_in& from, unsigned interface_index, const char* data,
                        std::size_t size) {
  const std::size_t bytes = record_bytes(size);
  char* place = place_for(bytes);
  if (place == nullptr) return false;
  const Header header{static_cast<std::uint32_t>(size), interface_index, from};
  std::memcpy(place, &header, sizeof header);
  std::memcpy(place + sizeof header, data, size);
  tail_ += bytes;
  ++count_;
  return true;
}

DatagramRing::Datagram DatagramRing::front() const {
  const char* place = block_.get() + head_;
  Header header{};
  std::memcpy(&header, place, sizeof header);
  return {place + sizeof header, header.size, header.from, header.interface_index};
}

void DatagramRing::pop() {
  Header header{};
  std::memcpy(&header, block_.get() + head_, sizeof header);
  head_ += record_bytes(header.size);
  --count_;
  if (wrapped_ && head_ == wrap_) {  // the records before the wrap are all read: on at the front
    head_ = 0;
    wrapped_ = false;
  }
}

bool DatagramRing::half_full() const {
  const std::size_t used = wrapped_ ? (wrap_ - head_) + tail_ : tail_ - head_;
  return used >= capacity_ / 2;
}
