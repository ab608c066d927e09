# Shared build rules: warnings, sanitizers, tests, and the dist/ folder.
include(GoogleTest)

# Our own targets link this to get warnings as errors; third-party code
# (GoogleTest, the decoders' libraries) keeps its own flags.
add_library(veloran_warnings INTERFACE)
target_compile_options(veloran_warnings INTERFACE -Wall -Wextra -Werror)

if(WIN32)
  # Unicode Win32 APIs, and nothing older than Windows 10.
  add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
                          _WIN32_WINNT=0x0A00 WINVER=0x0A00)
  # What ships carries no symbols: the program carries its libraries inside.
  add_link_options(-s)
  if(CMAKE_CROSSCOMPILING AND NOT CMAKE_CROSSCOMPILING_EMULATOR)
    set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_SOURCE_DIR}/scripts/wine-run")
  endif()
endif()

if(VELORAN_SANITIZER STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
elseif(VELORAN_SANITIZER STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(NOT VELORAN_SANITIZER STREQUAL "")
  message(FATAL_ERROR "VELORAN_SANITIZER must be empty, address or thread")
endif()

# In a fuzz build every library is instrumented, so coverage of the code
# under test (not only of the harness) guides the fuzzer.
if(VELORAN_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# GoogleTest from Debian's source package, built with this configuration's
# compiler and flags (the same sources serve the native and the mingw build).
set(VELORAN_GTEST_SOURCE "/usr/src/googletest" CACHE PATH "GoogleTest sources")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
add_subdirectory(${VELORAN_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

# veloran_gtest(NAME SOURCES ... [LIBS ...] [TIMEOUT s] [LOCK name] [WINDOWS_ONLY] [NATIVE_ONLY])
# Natively every case is its own ctest test; under Wine one process runs the
# whole executable, since starting Wine per case costs more than the cases.
# Every test has a timeout so that a message box nobody answers fails the
# test instead of hanging the run. LOCK serialises tests that share a name.
function(veloran_gtest name)
  cmake_parse_arguments(T "WINDOWS_ONLY;NATIVE_ONLY" "TIMEOUT;LOCK" "SOURCES;LIBS" ${ARGN})
  if(T_WINDOWS_ONLY AND NOT WIN32)
    return()
  endif()
  if(T_NATIVE_ONLY AND WIN32)
    return()
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} gmock gtest_main veloran_warnings)
  set(props TIMEOUT ${T_TIMEOUT})
  if(T_LOCK)
    list(APPEND props RESOURCE_LOCK ${T_LOCK})
  endif()
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${name} COMMAND ${name} --gtest_color=no)
    set_tests_properties(${name} PROPERTIES ${props})
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ${props})
  endif()
endfunction()

# Put a Windows binary into dist/ as part of the build.
function(veloran_dist target)
  if(WIN32)
    set_target_properties(${target} PROPERTIES
      RUNTIME_OUTPUT_DIRECTORY "${VELORAN_DIST_DIR}"
      LIBRARY_OUTPUT_DIRECTORY "${VELORAN_DIST_DIR}")
  endif()
endfunction()

# veloran_fuzzer(NAME SOURCES ... [LIBS ...] [CORPUS dir] [DICT file] [RUNS n] [FIXTURE name])
# A libFuzzer target (clang, VELORAN_FUZZ=ON). Each also becomes a short,
# seeded ctest run labelled "fuzz", so that `make test` runs every fuzzer
# over its corpus and fresh inputs; longer runs are for the benchmarks.
add_custom_target(veloran_fuzzers)
function(veloran_fuzzer name)
  cmake_parse_arguments(F "" "CORPUS;DICT;RUNS;FIXTURE" "SOURCES;LIBS" ${ARGN})
  if(NOT VELORAN_FUZZ OR WIN32)
    return()
  endif()
  if(NOT F_RUNS)
    set(F_RUNS 20000)
  endif()
  add_executable(${name} ${F_SOURCES})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name} PRIVATE ${F_LIBS} veloran_warnings)
  add_dependencies(veloran_fuzzers ${name})
  set(args -runs=${F_RUNS} -seed=1 -max_len=65536)
  if(F_DICT)
    list(APPEND args -dict=${F_DICT})
  endif()
  if(F_CORPUS)
    # Never write found inputs into the source tree during a test run.
    list(APPEND args ${CMAKE_CURRENT_BINARY_DIR}/${name}-corpus ${F_CORPUS})
    file(MAKE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/${name}-corpus)
  endif()
  add_test(NAME fuzz_${name} COMMAND ${name} ${args})
  set_tests_properties(fuzz_${name} PROPERTIES LABELS fuzz TIMEOUT 600)
  if(F_FIXTURE)
    set_tests_properties(fuzz_${name} PROPERTIES FIXTURES_REQUIRED ${F_FIXTURE})
  endif()
endfunction()
