# One interface target carries the warning set for our own code (library, programs and tests alike);
# third-party headers come in as SYSTEM includes and are not held to it.
add_library(vantrel_warnings INTERFACE)
if(MSVC)
  target_compile_options(vantrel_warnings INTERFACE /W4 /WX)
else()
  target_compile_options(vantrel_warnings INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
    -Wnon-virtual-dtor -Wold-style-cast -Wcast-align -Wformat=2 -Werror)
endif()
# GCC 12 at -O3 warns of overlapping copies inside std::string's own code (a known false alarm of that
# release); later releases do not.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  target_compile_options(vantrel_warnings INTERFACE -Wno-restrict)
endif()
