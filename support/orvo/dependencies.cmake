# The decoders' libraries as interface targets: orvo_dep_sndfile, orvo_dep_flac
# and orvo_dep_ffmpeg (mov demuxer and alac decoder).
# Natively: Debian's shared libraries through pkg-config.
# Windows: static libraries from the prefix in CMAKE_PREFIX_PATH (lib/*.a,
# include/, lib/pkgconfig/*.pc), linked whole into each DLL.
find_package(PkgConfig REQUIRED)

function(orvo_dependency target)
  set(modules ${ARGN})
  string(MAKE_C_IDENTIFIER "${target}" prefix)
  string(TOUPPER "${prefix}" prefix)
  add_library(${target} INTERFACE)
  if(WIN32)
    pkg_check_modules(${prefix} REQUIRED ${modules})
    # The .pc files' own prefix may be relative or stale; trust their flags
    # only for library names and take the directories from the prefix.
    target_include_directories(${target} SYSTEM INTERFACE "${ORVO_WIN_DEPS}/include")
    target_compile_options(${target} INTERFACE ${${prefix}_STATIC_CFLAGS_OTHER})
    target_link_directories(${target} INTERFACE "${ORVO_WIN_DEPS}/lib")
    target_link_libraries(${target} INTERFACE ${${prefix}_STATIC_LDFLAGS})
  else()
    pkg_check_modules(${prefix} REQUIRED IMPORTED_TARGET ${modules})
    target_link_libraries(${target} INTERFACE PkgConfig::${prefix})
  endif()
endfunction()

if(WIN32)
  set(ORVO_WIN_DEPS "")
  if(CMAKE_PREFIX_PATH)
    list(GET CMAKE_PREFIX_PATH 0 ORVO_WIN_DEPS)
  endif()
  if(NOT ORVO_WIN_DEPS OR NOT EXISTS "${ORVO_WIN_DEPS}/lib/pkgconfig")
    # The program carries the engine: without its libraries there is nothing to build.
    message(FATAL_ERROR "The engine's static decoder libraries are expected in CMAKE_PREFIX_PATH "
                        "(lib/*.a, include/, lib/pkgconfig/*.pc; scripts/build-win-deps makes them); "
                        "got '${CMAKE_PREFIX_PATH}'")
  endif()
  # Only the prefix's .pc files, static flavour, never the build machine's.
  set(ENV{PKG_CONFIG_LIBDIR} "${ORVO_WIN_DEPS}/lib/pkgconfig")
  set(ENV{PKG_CONFIG_PATH} "")
  set(ENV{PKG_CONFIG_SYSROOT_DIR} "")
  list(APPEND PKG_CONFIG_EXECUTABLE --static)
endif()

orvo_dependency(orvo_dep_sndfile sndfile)
orvo_dependency(orvo_dep_flac flac)
orvo_dependency(orvo_dep_ffmpeg libavformat libavcodec libavutil)
if(WIN32)
  target_compile_definitions(orvo_dep_flac INTERFACE FLAC__NO_DLL)
endif()

# Common settings of the three libraries: only the engine's calls are
# visible (the .def files choose them on Windows), no "lib" prefix on
# Windows so that the files are orvo.dll, orvu.dll and oraa.dll.
function(orvo_library target)
  set_target_properties(${target} PROPERTIES
    CXX_VISIBILITY_PRESET hidden
    C_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
  if(WIN32)
    set_target_properties(${target} PROPERTIES PREFIX "")
    veloran_dist(${target})
  endif()
  target_link_libraries(${target} PRIVATE veloran_warnings)
  if(NOT CMAKE_BUILD_TYPE)
    # Decoding speed is part of the libraries' contract, in every build.
    target_compile_options(${target} PRIVATE -O2)
  endif()
endfunction()
