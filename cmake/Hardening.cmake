# Build switches: the distribution's hardening for builds that ship, and
# switches for checking the code rather than shipping it.
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

# Builds that ship (the default, and the Debian package made from it) get the
# hardening a Debian package build gets from dpkg-buildflags: stack protector,
# fortified libc calls, relocations read-only and bound at start. Not in
# checking builds: the sanitizers and the fuzzer bring their own checks and
# clash with _FORTIFY_SOURCE, which also needs the optimiser (no Debug).
find_program(DPKG_BUILDFLAGS dpkg-buildflags)
if(DPKG_BUILDFLAGS AND NOT QUILLON_SANITIZE AND NOT QUILLON_FUZZ AND NOT CMAKE_BUILD_TYPE STREQUAL "Debug")
  foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
    execute_process(COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
                            ${DPKG_BUILDFLAGS} --get ${kind}
                    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                    OUTPUT_VARIABLE distribution_${kind} OUTPUT_STRIP_TRAILING_WHITESPACE)
  endforeach()
  string(APPEND CMAKE_CXX_FLAGS " ${distribution_CPPFLAGS} ${distribution_CXXFLAGS}")
  string(APPEND CMAKE_EXE_LINKER_FLAGS " ${distribution_LDFLAGS}")
  string(APPEND CMAKE_SHARED_LINKER_FLAGS " ${distribution_LDFLAGS}")
endif()
