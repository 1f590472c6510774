// Raw datagrams waiting to be decoded, in arrival order, in one block taken once: the receive path moves
// a burst out of the kernel's small queue into it without allocating, and decodes later.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform.h"

class DatagramRing {
 public:
  // What fills a few megabytes: tens of thousands of typical replies, a thousand of the largest.
  static constexpr std::size_t kDefaultBytes = 16 * 1024 * 1024;

  struct Datagram {  // a view into the ring, valid until pop()
    const char* data;
    std::size_t size;
    sockaddr_in from;
    unsigned interface_index;
  };

  // `bytes` is taken at once but the system commits pages only as records reach them.
  explicit DatagramRing(std::size_t bytes = kDefaultBytes);

  // Copies one datagram in at the back. False, leaving the ring as it was, when it has no room.
  bool push(const sockaddr_in& from, unsigned interface_index, const char* data, std::size_t size);

  bool empty() const { return count_ == 0; }
  bool half_full() const;
  std::size_t size() const { return count_; }
  Datagram front() const;  // the oldest; the ring must not be empty
  void pop();

 private:
  struct Header {
    std::uint32_t size;
    std::uint32_t interface_index;
    sockaddr_in from;
  };
  static std::size_t record_bytes(std::size_t size);
  char* place_for(std::size_t bytes);

  // Records lie in [head_, tail_), or, once the writer has wrapped, in [head_, wrap_) then [0, tail_).
  std::unique_ptr<char[]> block_;
  std::size_t capacity_;
  std::size_t head_ = 0;
  std::size_t tail_ = 0;
  std::size_t wrap_ = 0;  // while wrapped: the end of the records before the wrap
  bool wrapped_ = false;
  std::size_t count_ = 0;
};
