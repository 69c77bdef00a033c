# Sanitizer and fuzzing builds. Each flag set applies to every target of the
# build, the console, the simulator and the tests included, so a fault is
# caught wherever the code runs.
#
#   TELLAR_SANITIZE  AddressSanitizer + UndefinedBehaviorSanitizer; any
#                    report ends the process (no recovery), so a test fails
#   TELLAR_TSAN      ThreadSanitizer; Debug code, so a report's stacks are
#                    whole; halt_on_error is set where the tests run
#   TELLAR_FUZZ      the libFuzzer targets (clang only), with ASan + UBSan
#
# Runtime options (leak suppressions and the like) are set by
# scripts/sanitize.sh, which runs the suites built this way.

if((TELLAR_SANITIZE OR TELLAR_FUZZ) AND TELLAR_TSAN)
  message(FATAL_ERROR "TELLAR_TSAN cannot be combined with TELLAR_SANITIZE or TELLAR_FUZZ")
endif()

if(TELLAR_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

if(TELLAR_TSAN)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

if(TELLAR_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "TELLAR_FUZZ needs clang (configure with -DCMAKE_CXX_COMPILER=clang++)")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
