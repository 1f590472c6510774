# Dependencies of the cross build, taken from the build machine's Debian packages: the header-only JSON
# library and GoogleTest's sources. Nothing is downloaded and nothing is copied into the tree.

# nlohmann json is header-only. Its directory alone is put on the include path (through a link in the
# build tree), never the host's whole /usr/include, whose POSIX headers must not shadow the Windows ones.
find_path(VANTREL_HOST_JSON_INCLUDE nlohmann/json.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH REQUIRED)
set(json_include ${CMAKE_BINARY_DIR}/host-headers)
file(MAKE_DIRECTORY ${json_include})
file(CREATE_LINK ${VANTREL_HOST_JSON_INCLUDE}/nlohmann ${json_include}/nlohmann SYMBOLIC)
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED GLOBAL)
target_include_directories(nlohmann_json::nlohmann_json SYSTEM INTERFACE ${json_include})
set(nlohmann_json_FOUND TRUE)

# GoogleTest from its source package (Debian googletest), built for the target like our own code.
if(VANTREL_BUILD_TESTS)
  set(VANTREL_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources to build for the target")
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  add_subdirectory(${VANTREL_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  # Its own build already names the targets GTest::gtest, GTest::gtest_main, GTest::gmock, ...
  set(GTest_FOUND TRUE)
endif()
