# Build switches for checking the code rather than shipping it.
#
#   QUILLON_SANITIZE=address,undefined   every target built with those sanitizers
#   QUILLON_SANITIZE=thread              the same with ThreadSanitizer
#   QUILLON_FUZZ=ON                      clang only: instrument for libFuzzer and build fuzz/ as fuzzers
#
# Sanitizer findings stop the program (no recovery), so a test that trips one fails.
set(QUILLON_SANITIZE "" CACHE STRING "Comma-separated sanitizers for every target (e.g. address,undefined or thread)")
option(QUILLON_FUZZ "Build the fuzz targets as libFuzzer programs (needs clang)" OFF)

if(QUILLON_SANITIZE)
  add_compile_options(-fsanitize=${QUILLON_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${QUILLON_SANITIZE})
endif()

if(QUILLON_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "QUILLON_FUZZ needs clang (configure with CXX=clang++)")
  endif()
  # Coverage feedback everywhere; the fuzzer's own main is linked into fuzz/ programs only.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()
