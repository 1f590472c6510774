// GoogleTest's main for the Windows tests: Winsock is started first, as every program of ours does
// before its first socket or address call.
#include <gtest/gtest.h>

#include "platform.h"

int main(int argc, char** argv) {
  if (platform::socket_library_start() != 0) return 2;
  testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  platform::socket_library_stop();
  return result;
}
