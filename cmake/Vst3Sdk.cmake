# The Steinberg VST3 SDK as a dependency: its interfaces (pluginterfaces), its
# base library (base/source, base/thread) and its helper classes
# (public.sdk/source/vst, public.sdk/source/common), built from the copy that
# Debian ships in juce-modules-source-data (VST 3.7.2). Nothing of the SDK is
# copied into this repository; the few pieces that copy lacks live in vst3/sdk/.
#
# Targets:
#   vst3sdk          static library for the plug-in side (and everything else)
#   vst3sdk_hosting  static library with the hosting helpers, for test hosts
#                    and tools (links vst3sdk)
#
# The SDK is third-party code: it is compiled without our warning flags and
# with its own warnings silenced, its include root is a SYSTEM include for its
# users, and it gets only the sanitizer part of our options (kestro_sanitize),
# so that ASan/UBSan see a uniformly instrumented program.
include_guard(GLOBAL)

set(KESTRO_VST3_SDK_DIR
  "/usr/share/juce/modules/juce_audio_processors/format_types/VST3_SDK"
  CACHE PATH "Root of the VST3 SDK sources (Debian package juce-modules-source-data)")

if(NOT EXISTS "${KESTRO_VST3_SDK_DIR}/pluginterfaces/base/funknown.h")
  message(FATAL_ERROR
    "VST3 SDK not found in ${KESTRO_VST3_SDK_DIR}. Install Debian's "
    "juce-modules-source-data (scripts/install-deps.sh) or set KESTRO_VST3_SDK_DIR.")
endif()

file(STRINGS "${KESTRO_VST3_SDK_DIR}/pluginterfaces/vst/vsttypes.h" _kestro_vst3_version
  REGEX "^#define kVstVersionString")
string(REGEX MATCH "VST [0-9.]+" _kestro_vst3_version "${_kestro_vst3_version}")
message(STATUS "VST3 SDK: ${_kestro_vst3_version} in ${KESTRO_VST3_SDK_DIR}")

# What Debian's copy lacks is filled from here (see vst3/sdk/).
set(_kestro_vst3_fill "${CMAKE_CURRENT_LIST_DIR}/../vst3/sdk")
cmake_path(NORMAL_PATH _kestro_vst3_fill)

set(_kestro_vst3_sdk_sources
  pluginterfaces/base/conststringtable.cpp
  pluginterfaces/base/coreiids.cpp
  pluginterfaces/base/ustring.cpp
  base/source/baseiids.cpp
  base/source/fbuffer.cpp
  base/source/fdebug.cpp
  base/source/fobject.cpp
  base/source/fstreamer.cpp
  base/source/fstring.cpp
  base/source/updatehandler.cpp
  base/thread/source/flock.cpp
  public.sdk/source/common/memorystream.cpp
  public.sdk/source/common/pluginview.cpp
  public.sdk/source/vst/vstbus.cpp
  public.sdk/source/vst/vstcomponent.cpp
  public.sdk/source/vst/vstcomponentbase.cpp
  public.sdk/source/vst/vsteditcontroller.cpp
  public.sdk/source/vst/vstinitiids.cpp
  public.sdk/source/vst/vstparameters.cpp
  public.sdk/source/vst/vstpresetfile.cpp)
set(_kestro_vst3_hosting_sources
  public.sdk/source/vst/hosting/hostclasses.cpp
  public.sdk/source/vst/hosting/pluginterfacesupport.cpp)

list(TRANSFORM _kestro_vst3_sdk_sources PREPEND "${KESTRO_VST3_SDK_DIR}/")
list(TRANSFORM _kestro_vst3_hosting_sources PREPEND "${KESTRO_VST3_SDK_DIR}/")

# FUnknownPrivate::atomicAdd on Linux adds atomically but then re-reads the
# counter without synchronisation, so two threads releasing the last references
# can both see 0 (double delete) or neither. On Linux the SDK's funknown.cpp is
# compiled through a wrapper that replaces that one function; elsewhere
# (Windows: InterlockedExchangeAdd) it is correct and used as it is.
if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
  list(APPEND _kestro_vst3_sdk_sources "${_kestro_vst3_fill}/fixes/funknown_linux.cpp")
else()
  list(APPEND _kestro_vst3_sdk_sources "${KESTRO_VST3_SDK_DIR}/pluginterfaces/base/funknown.cpp")
endif()

# JUCE's copy leaves out the SDK file that defines the interface ids of the
# plug-in view interfaces (IPlugView, IPlugFrame, ...), which pluginview.cpp
# and every editor need; a full SDK brings its own.
if(NOT EXISTS "${KESTRO_VST3_SDK_DIR}/public.sdk/source/common/commoniids.cpp")
  list(APPEND _kestro_vst3_sdk_sources "${_kestro_vst3_fill}/public.sdk/source/common/commoniids.cpp")
else()
  list(APPEND _kestro_vst3_sdk_sources "${KESTRO_VST3_SDK_DIR}/public.sdk/source/common/commoniids.cpp")
endif()

find_package(Threads REQUIRED)

# Settings shared by the SDK libraries.
function(_kestro_vst3sdk_target target)
  set_target_properties(${target} PROPERTIES
    POSITION_INDEPENDENT_CODE ON
    CXX_EXTENSIONS OFF)
  target_compile_features(${target} PUBLIC cxx_std_17)
  target_include_directories(${target} SYSTEM PUBLIC "${KESTRO_VST3_SDK_DIR}")
  # The SDK requires exactly one of DEVELOPMENT and RELEASE, and they change
  # class layouts (updatehandler.h), so its users must see the same one.
  # Note: in DEVELOPMENT builds an SDK assertion on Linux executes a
  # breakpoint trap (the SDK assumes a debugger is attached).
  target_compile_definitions(${target} PUBLIC
    $<IF:$<CONFIG:Debug>,DEVELOPMENT=1,RELEASE=1>)
  target_compile_options(${target} PRIVATE
    $<$<CXX_COMPILER_ID:GNU,Clang,AppleClang>:-w>
    $<$<CXX_COMPILER_ID:MSVC>:/w>)
  if(TARGET kestro_sanitize)
    target_link_libraries(${target} PUBLIC kestro_sanitize)
  endif()
endfunction()

add_library(vst3sdk STATIC ${_kestro_vst3_sdk_sources})
_kestro_vst3sdk_target(vst3sdk)
target_link_libraries(vst3sdk PUBLIC Threads::Threads)
if(WIN32)
  # CoCreateGuid (FUID::generate) and the user32 case conversions of fstring.
  target_link_libraries(vst3sdk PUBLIC ole32 user32)
endif()

add_library(vst3sdk_hosting STATIC ${_kestro_vst3_hosting_sources})
_kestro_vst3sdk_target(vst3sdk_hosting)
target_link_libraries(vst3sdk_hosting PUBLIC vst3sdk)
