#include "vantrel/diagnostics.h"

#include <atomic>
#include <cstdarg>

namespace diag {
namespace {

std::atomic<std::FILE*> out_stream{stdout};
std::atomic<std::FILE*> err_stream{stderr};

std::recursive_mutex& line_mutex() {
  static std::recursive_mutex mutex;
  return mutex;
}

}  // namespace

void set_streams(std::FILE* out, std::FILE* err) {
  out_stream = out;
  err_stream = err;
}

void print(Stream stream, const char* format, ...) {
  std::FILE* target = stream == Stream::out ? out_stream.load() : err_stream.load();
  if (target == nullptr) return;
  std::lock_guard lock(line_mutex());
  va_list args;
  va_start(args, format);
  std::vfprintf(target, format, args);
  va_end(args);
  std::fflush(target);
}

LineGuard::LineGuard() : lock_(line_mutex()) {}

}  // namespace diag
