# Build-time step: writes one PNG as a C++ byte array with its table entry.
#   cmake -DINPUT=<png> -DOUTPUT=<cpp> -DSYMBOL=<c identifier> -DID=<resource id> -DNAME=<name> -P EmbedPng.cmake
foreach(var INPUT OUTPUT SYMBOL ID NAME)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "EmbedPng.cmake: ${var} is not set")
  endif()
endforeach()

file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" hex_length)
math(EXPR size "${hex_length} / 2")
if(size EQUAL 0)
  set(body "0")
else()
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," body "${hex}")
  # 16 bytes a line keeps the generated file readable for the compiler's diagnostics.
  string(REPEAT "0x..," 16 line_pattern)
  string(REGEX REPLACE "(${line_pattern})" "\\1\n" body "${body}")
endif()

file(WRITE "${OUTPUT}.tmp" "// Generated from ${NAME} by EmbedPng.cmake; do not edit.
#include \"platform/linux/EmbeddedPng.h\"

namespace kestro {

namespace {

const uint8_t kBytes[] = {
${body}
};

}  // namespace

extern const EmbeddedPng ${SYMBOL};
const EmbeddedPng ${SYMBOL} = {${ID}, \"${NAME}\", kBytes, ${size}};

}  // namespace kestro
")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
