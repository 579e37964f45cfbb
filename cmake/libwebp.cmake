# libwebp for the WebP encoder and decoder, linked statically so the program stays one exe.
#
# Where it comes from, first match wins:
#   1. TARVIX_LIBWEBP_SOURCE: an unpacked libwebp source folder (any release with src/webp/encode.h);
#   2. on a Debian machine: the distribution's source package, fetched and unpacked by
#      scripts/fetch_libwebp.sh into build/libwebp-src (the same library the machine runs);
#   3. find_package(WebP): an installed libwebp with its CMake package (vcpkg, MSYS2, ...).
# Defines the target tarvix_webp.

set(TARVIX_LIBWEBP_SOURCE "" CACHE PATH "Unpacked libwebp source folder to build from (empty: fetch or find_package)")

if(NOT TARVIX_LIBWEBP_SOURCE)
  find_program(TARVIX_DPKG_SOURCE dpkg-source)
  if(CMAKE_HOST_SYSTEM_NAME STREQUAL "Linux" AND TARVIX_DPKG_SOURCE
     AND EXISTS /usr/share/keyrings/debian-archive-keyring.gpg)
    execute_process(COMMAND ${PROJECT_SOURCE_DIR}/scripts/fetch_libwebp.sh
                    OUTPUT_VARIABLE fetched OUTPUT_STRIP_TRAILING_WHITESPACE
                    RESULT_VARIABLE fetchResult)
    if(fetchResult EQUAL 0 AND EXISTS "${fetched}/src/webp/encode.h")
      set(tarvixWebpSource "${fetched}")
    else()
      # Offline, or the pinned version has left the archive: an installed package may still do.
      message(WARNING "scripts/fetch_libwebp.sh failed (${fetchResult}); trying find_package(WebP) "
                      "(or set TARVIX_LIBWEBP_SOURCE)")
    endif()
  endif()
else()
  set(tarvixWebpSource "${TARVIX_LIBWEBP_SOURCE}")
endif()

if(tarvixWebpSource)
  if(NOT EXISTS "${tarvixWebpSource}/src/webp/encode.h")
    message(FATAL_ERROR "No libwebp source in ${tarvixWebpSource}")
  endif()
  enable_language(C)
  # Only the codec itself (decoder, encoder, their DSP, utilities and colour conversion, and the demuxer for the
  # first frame of an animation): no tools, no examples, no image readers.
  file(GLOB webpSources
       ${tarvixWebpSource}/src/dec/*.c ${tarvixWebpSource}/src/enc/*.c ${tarvixWebpSource}/src/dsp/*.c
       ${tarvixWebpSource}/src/utils/*.c ${tarvixWebpSource}/src/demux/*.c ${tarvixWebpSource}/sharpyuv/*.c)
  add_library(tarvix_webp STATIC ${webpSources})
  target_include_directories(tarvix_webp SYSTEM PUBLIC ${tarvixWebpSource}/src)
  target_include_directories(tarvix_webp PRIVATE ${tarvixWebpSource})
  set_target_properties(tarvix_webp PROPERTIES C_STANDARD 99 POSITION_INDEPENDENT_CODE ON)
  if(MSVC)
    target_compile_options(tarvix_webp PRIVATE /W0)
  else()
    # Third-party code: its warnings are not ours to fix.
    target_compile_options(tarvix_webp PRIVATE -w)
    if(CMAKE_SYSTEM_PROCESSOR MATCHES "x86_64|AMD64|amd64|i.86" OR MINGW)
      # As the library's own build does: the SSE4.1 paths are compiled in and chosen at run
      # time by the CPU check, so the program still runs on SSE2-only machines.
      target_compile_definitions(tarvix_webp PRIVATE WEBP_HAVE_SSE41)
      file(GLOB webpSse41 ${tarvixWebpSource}/src/dsp/*_sse41.c)
      set_source_files_properties(${webpSse41} PROPERTIES COMPILE_OPTIONS -msse4.1)
    endif()
  endif()
  message(STATUS "libwebp: built from ${tarvixWebpSource}")
else()
  find_package(WebP CONFIG REQUIRED)
  add_library(tarvix_webp INTERFACE)
  target_link_libraries(tarvix_webp INTERFACE WebP::webp WebP::webpdemux)
  message(STATUS "libwebp: found package in ${WebP_DIR}")
endif()
