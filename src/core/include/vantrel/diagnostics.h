// Diagnostic lines of the discovery core. They go to standard output and standard error by default; a
// program that prints data on standard output sends them elsewhere, or nowhere, without changing a word.
#pragma once

#include <cstdio>
#include <mutex>

#include "platform.h"

namespace diag {

enum class Stream { out, err };

// Where each stream's lines go; null discards them. Call before other threads print.
void set_streams(std::FILE* out, std::FILE* err);

// printf-style line (or piece of one) on the chosen stream, flushed at once.
void print(Stream stream, const char* format, ...) PLATFORM_PRINTF_FORMAT(2, 3);

// Lines that show an address are printed in pieces (lead-in, address, newline). Holding a LineGuard keeps
// another thread's lines from landing between the pieces.
class LineGuard {
 public:
  LineGuard();

 private:
  std::unique_lock<std::recursive_mutex> lock_;
};

}  // namespace diag
