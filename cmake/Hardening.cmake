# The hardening Debian builds its own packages with (dpkg-buildflags): fortified libc calls, stack
# protector, read-only relocations resolved at start. Not in sanitizer or fuzzer builds, which bring
# their own instrumentation, nor in Debug builds, where _FORTIFY_SOURCE has no optimiser to work with.
if(NOT WIN32 AND NOT CMAKE_CROSSCOMPILING AND VANTREL_SANITIZE STREQUAL "" AND NOT VANTREL_FUZZ)
  add_compile_options($<$<NOT:$<CONFIG:Debug>>:-D_FORTIFY_SOURCE=2> -fstack-protector-strong)
  add_link_options(LINKER:-z,relro LINKER:-z,now)
endif()
