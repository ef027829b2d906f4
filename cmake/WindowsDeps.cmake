# Third-party libraries of the Windows cross build, none of which Debian
# ships built for mingw-w64 except zlib:
#   PNG::PNG             libpng, compiled here from Debian's source package
#                        (fetched into the build tree at configure time)
#   KESTRO_ZLIB_STATIC   zlib from libz-mingw-w64-dev, linked statically
#   GTest::gtest[_main]  GoogleTest from Debian's googletest sources
# Everything is linked statically, so the module and the test programs import
# only system DLLs.
include_guard(GLOBAL)

# zlib: the static archive, never the import library of zlib1.dll.
find_library(KESTRO_ZLIB_STATIC NAMES libz.a REQUIRED)
find_path(KESTRO_ZLIB_INCLUDE NAMES zlib.h REQUIRED)
add_library(kestro_zlib INTERFACE)
target_link_libraries(kestro_zlib INTERFACE ${KESTRO_ZLIB_STATIC})
target_include_directories(kestro_zlib SYSTEM INTERFACE ${KESTRO_ZLIB_INCLUDE})

# libpng from Debian's source package (the same version the Linux build uses,
# with Debian's patches). Its own build system is not needed: the library is
# its C files plus the configuration header libpng ships prebuilt.
set(_kestro_deps ${CMAKE_BINARY_DIR}/_deps)
execute_process(
  COMMAND ${PROJECT_SOURCE_DIR}/scripts/fetch-source.sh libpng1.6 ${_kestro_deps}
  OUTPUT_VARIABLE KESTRO_LIBPNG_SOURCE
  OUTPUT_STRIP_TRAILING_WHITESPACE
  RESULT_VARIABLE _kestro_fetch_result)
if(NOT _kestro_fetch_result EQUAL 0 OR NOT EXISTS "${KESTRO_LIBPNG_SOURCE}/png.h")
  message(FATAL_ERROR "Could not unpack Debian's libpng1.6 source into ${_kestro_deps}")
endif()
message(STATUS "libpng for Windows from ${KESTRO_LIBPNG_SOURCE}")

configure_file(${KESTRO_LIBPNG_SOURCE}/scripts/pnglibconf.h.prebuilt
  ${_kestro_deps}/libpng-config/pnglibconf.h COPYONLY)
set(_kestro_png_sources
  png.c pngerror.c pngget.c pngmem.c pngpread.c pngread.c pngrio.c pngrtran.c
  pngrutil.c pngset.c pngtrans.c pngwio.c pngwrite.c pngwtran.c pngwutil.c
  intel/intel_init.c intel/filter_sse2_intrinsics.c)
list(TRANSFORM _kestro_png_sources PREPEND "${KESTRO_LIBPNG_SOURCE}/")
add_library(kestro_libpng STATIC ${_kestro_png_sources})
target_include_directories(kestro_libpng SYSTEM PUBLIC ${KESTRO_LIBPNG_SOURCE} ${_kestro_deps}/libpng-config)
target_compile_definitions(kestro_libpng PRIVATE PNG_INTEL_SSE_OPT=1)
target_compile_options(kestro_libpng PRIVATE -w)
target_link_libraries(kestro_libpng PUBLIC kestro_zlib)
add_library(PNG::PNG ALIAS kestro_libpng)

# GoogleTest, built with the cross compiler from Debian's sources.
if(KESTRO_BUILD_TESTS)
  set(KESTRO_GOOGLETEST_DIR /usr/src/googletest CACHE PATH "GoogleTest sources (Debian package googletest)")
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  add_subdirectory(${KESTRO_GOOGLETEST_DIR} ${_kestro_deps}/googletest EXCLUDE_FROM_ALL SYSTEM)
  foreach(lib gtest gtest_main gmock gmock_main)
    if(NOT TARGET GTest::${lib})
      add_library(GTest::${lib} ALIAS ${lib})
    endif()
  endforeach()
endif()

# Test programs run under Wine; ctest and test discovery go through this
# wrapper, which keeps a Wine prefix inside the build tree.
if(KESTRO_BUILD_TESTS AND NOT CMAKE_HOST_WIN32)
  find_program(KESTRO_WINE NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH REQUIRED)
  find_program(KESTRO_WINESERVER NAMES wineserver PATHS /usr/lib/wine NO_DEFAULT_PATH REQUIRED)
  set(KESTRO_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run.sh
    FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE
    @ONLY)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run.sh)
endif()
