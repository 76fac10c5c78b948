# Third-party libraries, all from Debian packages. For the Windows build,
# libjpeg-turbo, libsodium, libdeflate, libvpx and libwebm are cross-built by scripts/bootstrap
# (for i686 and x86_64) into GLIMOR_JPEG_PREFIX, GLIMOR_SODIUM_PREFIX, GLIMOR_DEFLATE_PREFIX,
# GLIMOR_VPX_PREFIX and GLIMOR_WEBM_PREFIX, and GoogleTest is compiled from the sources that
# Debian's googletest package ships. libwebm's muxer is built from Debian's source natively too
# (GLIMOR_WEBM_PREFIX): the libwebm-dev package has no headers for it.
if(GLIMOR_WINDOWS)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(glimor_windows_arch x86_64)
  else()
    set(glimor_windows_arch i686)
  endif()
  set(GLIMOR_JPEG_PREFIX "/var/cache/glimor/libjpeg-turbo-${glimor_windows_arch}" CACHE PATH
      "libjpeg-turbo built for ${glimor_windows_arch}-w64-mingw32")
  if(NOT EXISTS "${GLIMOR_JPEG_PREFIX}/lib/libjpeg.a")
    message(FATAL_ERROR "libjpeg-turbo for Windows not found in ${GLIMOR_JPEG_PREFIX}: run scripts/bootstrap")
  endif()
  add_library(jpeg STATIC IMPORTED GLOBAL)
  set_target_properties(jpeg PROPERTIES
    IMPORTED_LOCATION "${GLIMOR_JPEG_PREFIX}/lib/libjpeg.a"
    INTERFACE_INCLUDE_DIRECTORIES "${GLIMOR_JPEG_PREFIX}/include")
  add_library(JPEG::JPEG ALIAS jpeg)

  set(GLIMOR_SODIUM_PREFIX "/var/cache/glimor/libsodium-${glimor_windows_arch}" CACHE PATH
      "libsodium built for ${glimor_windows_arch}-w64-mingw32")
  if(NOT EXISTS "${GLIMOR_SODIUM_PREFIX}/lib/libsodium.a")
    message(FATAL_ERROR "libsodium for Windows not found in ${GLIMOR_SODIUM_PREFIX}: run scripts/bootstrap")
  endif()
  add_library(sodium STATIC IMPORTED GLOBAL)
  # SODIUM_STATIC: the headers would otherwise declare everything as imported from a DLL;
  # advapi32 has the system random source that libsodium reads.
  set_target_properties(sodium PROPERTIES
    IMPORTED_LOCATION "${GLIMOR_SODIUM_PREFIX}/lib/libsodium.a"
    INTERFACE_INCLUDE_DIRECTORIES "${GLIMOR_SODIUM_PREFIX}/include"
    INTERFACE_COMPILE_DEFINITIONS SODIUM_STATIC
    INTERFACE_LINK_LIBRARIES advapi32)

  set(GLIMOR_DEFLATE_PREFIX "/var/cache/glimor/libdeflate-${glimor_windows_arch}" CACHE PATH
      "libdeflate built for ${glimor_windows_arch}-w64-mingw32")
  if(NOT EXISTS "${GLIMOR_DEFLATE_PREFIX}/lib/libdeflate.a")
    message(FATAL_ERROR "libdeflate for Windows not found in ${GLIMOR_DEFLATE_PREFIX}: run scripts/bootstrap")
  endif()
  add_library(deflate STATIC IMPORTED GLOBAL)
  set_target_properties(deflate PROPERTIES
    IMPORTED_LOCATION "${GLIMOR_DEFLATE_PREFIX}/lib/libdeflate.a"
    INTERFACE_INCLUDE_DIRECTORIES "${GLIMOR_DEFLATE_PREFIX}/include")

  set(GLIMOR_VPX_PREFIX "/var/cache/glimor/libvpx-${glimor_windows_arch}" CACHE PATH
      "libvpx built for ${glimor_windows_arch}-w64-mingw32")
  if(NOT EXISTS "${GLIMOR_VPX_PREFIX}/lib/libvpx.a")
    message(FATAL_ERROR "libvpx for Windows not found in ${GLIMOR_VPX_PREFIX}: run scripts/bootstrap")
  endif()
  add_library(vpx STATIC IMPORTED GLOBAL)
  set_target_properties(vpx PROPERTIES
    IMPORTED_LOCATION "${GLIMOR_VPX_PREFIX}/lib/libvpx.a"
    INTERFACE_INCLUDE_DIRECTORIES "${GLIMOR_VPX_PREFIX}/include")
  set(GLIMOR_WEBM_PREFIX "/var/cache/glimor/libwebm-${glimor_windows_arch}" CACHE PATH
      "libwebm built for ${glimor_windows_arch}-w64-mingw32")
else()
  find_package(JPEG REQUIRED)
  find_package(Threads REQUIRED)
  # TLS for glimor-cli, the tests and glimor-server; Glimor.exe uses Schannel instead.
  find_package(OpenSSL 3 REQUIRED)
  # Ed25519 and SHA-256 for the update check (libsodium-dev).
  find_path(GLIMOR_SODIUM_INCLUDE sodium.h REQUIRED)
  find_library(GLIMOR_SODIUM_LIBRARY sodium REQUIRED)
  add_library(sodium UNKNOWN IMPORTED GLOBAL)
  set_target_properties(sodium PROPERTIES
    IMPORTED_LOCATION "${GLIMOR_SODIUM_LIBRARY}"
    INTERFACE_INCLUDE_DIRECTORIES "${GLIMOR_SODIUM_INCLUDE}")
  # Compression and CRC of the PNG writer (libdeflate-dev).
  find_path(GLIMOR_DEFLATE_INCLUDE libdeflate.h REQUIRED)
  find_library(GLIMOR_DEFLATE_LIBRARY deflate REQUIRED)
  add_library(deflate UNKNOWN IMPORTED GLOBAL)
  set_target_properties(deflate PROPERTIES
    IMPORTED_LOCATION "${GLIMOR_DEFLATE_LIBRARY}"
    INTERFACE_INCLUDE_DIRECTORIES "${GLIMOR_DEFLATE_INCLUDE}")
  # The WebM recordings' encoder (libvpx-dev).
  find_path(GLIMOR_VPX_INCLUDE vpx/vpx_encoder.h REQUIRED)
  find_library(GLIMOR_VPX_LIBRARY vpx REQUIRED)
  add_library(vpx UNKNOWN IMPORTED GLOBAL)
  set_target_properties(vpx PROPERTIES
    IMPORTED_LOCATION "${GLIMOR_VPX_LIBRARY}"
    INTERFACE_INCLUDE_DIRECTORIES "${GLIMOR_VPX_INCLUDE}")
  set(GLIMOR_WEBM_PREFIX "/var/cache/glimor/libwebm-native" CACHE PATH "libwebm's muxer built from source")
endif()
if(NOT EXISTS "${GLIMOR_WEBM_PREFIX}/lib/libwebm.a")
  message(FATAL_ERROR "libwebm's muxer not found in ${GLIMOR_WEBM_PREFIX}: run scripts/bootstrap")
endif()
add_library(webm_muxer STATIC IMPORTED GLOBAL)
set_target_properties(webm_muxer PROPERTIES
  IMPORTED_LOCATION "${GLIMOR_WEBM_PREFIX}/lib/libwebm.a"
  INTERFACE_INCLUDE_DIRECTORIES "${GLIMOR_WEBM_PREFIX}/include")

if(BUILD_TESTING OR NOT DEFINED BUILD_TESTING)
  if(GLIMOR_WINDOWS)
    set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest "${CMAKE_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL SYSTEM)
  else()
    find_package(GTest REQUIRED)
  endif()
endif()
