// Loaded with LD_PRELOAD by the burst benchmark: caps every SO_RCVBUF request at a stock desktop's
// net.core.rmem_max, so that a program gets the receive buffer its users get on a machine that allows
// more. The programs themselves have no such switch.
#include <dlfcn.h>
#include <sys/socket.h>

#include <algorithm>

namespace {
constexpr int kStockLargestReceiveBuffer = 212992;  // Debian's default net.core.rmem_max
using SetSockOpt = int (*)(int, int, int, const void*, socklen_t);
}  // namespace

extern "C" int setsockopt(int fd, int level, int name, const void* value, socklen_t length) {
  static const auto real = reinterpret_cast<SetSockOpt>(dlsym(RTLD_NEXT, "setsockopt"));
  if (level == SOL_SOCKET && name == SO_RCVBUF && value != nullptr && length == sizeof(int)) {
    const int capped = std::min(*static_cast<const int*>(value), kStockLargestReceiveBuffer);
    return real(fd, level, name, &capped, length);
  }
  return real(fd, level, name, value, length);
}
