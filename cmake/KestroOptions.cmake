# Compile options shared by every target of ours (not by third-party code).
add_library(kestro_options INTERFACE)
# windows.h without its min/max macros and rarely used parts, everywhere.
target_compile_definitions(kestro_options INTERFACE "$<$<PLATFORM_ID:Windows>:NOMINMAX;WIN32_LEAN_AND_MEAN>")
target_compile_options(kestro_options INTERFACE
  $<$<CXX_COMPILER_ID:GNU,Clang>:-Wall -Wextra -Wpedantic>
  # The evaluation order of the DSP and parameter arithmetic is part of the
  # behaviour: never let the compiler fuse multiply-adds or reassociate.
  $<$<CXX_COMPILER_ID:GNU,Clang>:-ffp-contract=off -fno-fast-math>)

# Sanitizer flags live in their own target so that third-party code (the VST3
# SDK) is instrumented like ours without getting our warning flags: its heap
# use and its virtual calls cross our objects, and a half-instrumented program
# misses errors or reports false ones.
add_library(kestro_sanitize INTERFACE)
if(KESTRO_SANITIZE)
  string(REPLACE ";" "," _kestro_san "${KESTRO_SANITIZE}")
  target_compile_options(kestro_sanitize INTERFACE -fsanitize=${_kestro_san} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  target_link_options(kestro_sanitize INTERFACE -fsanitize=${_kestro_san})
endif()
# The fuzzers drive the built module: its code needs libFuzzer's coverage
# counters too, so the fuzzing build instruments everything. Programs that
# do not link libFuzzer leave the counters unread.
if(KESTRO_BUILD_FUZZ AND CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  target_compile_options(kestro_sanitize INTERFACE -fsanitize=fuzzer-no-link)
endif()
target_link_libraries(kestro_options INTERFACE kestro_sanitize)

# kestro_add_library(name SOURCES...): a static library of ours.
function(kestro_add_library name)
  add_library(${name} STATIC ${ARGN})
  target_link_libraries(${name} PUBLIC kestro_options)
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
endfunction()
