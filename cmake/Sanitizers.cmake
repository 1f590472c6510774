# VANTREL_SANITIZE=address (AddressSanitizer with UndefinedBehaviorSanitizer and LeakSanitizer) or
# thread (ThreadSanitizer) instruments everything we build, tests included.
set(VANTREL_SANITIZE "" CACHE STRING "Sanitizer build: address or thread")
# GCC's maybe-uninitialized analysis gives false alarms on instrumented code (inside <regex>, for one).
if(NOT VANTREL_SANITIZE STREQUAL "" AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  add_compile_options(-Wno-maybe-uninitialized)
endif()
if(VANTREL_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
elseif(VANTREL_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(NOT VANTREL_SANITIZE STREQUAL "")
  message(FATAL_ERROR "VANTREL_SANITIZE must be address, thread or empty")
endif()
