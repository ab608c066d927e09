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
