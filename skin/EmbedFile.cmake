# Writes a C++ source holding the bytes of one file as a constant array.
#   cmake -DINPUT=<file> -DOUTPUT=<source.cpp> -DSYMBOL=<name> -P EmbedFile.cmake
# The array is named <SYMBOL>Bytes, its length <SYMBOL>Size. The source is only replaced when its
# content changes, so an unchanged archive compiles nothing again.
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR size "${digits} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x[0-9a-f][0-9a-f],){24})" "\\1\n" bytes "${bytes}")
file(WRITE "${OUTPUT}.tmp"
  "// Generated from ${INPUT} by EmbedFile.cmake; do not edit.\n"
  "#include <cstddef>\n\n"
  "extern const unsigned char ${SYMBOL}Bytes[];\n"
  "extern const std::size_t ${SYMBOL}Size;\n\n"
  "alignas(16) const unsigned char ${SYMBOL}Bytes[${size} + 1] = {\n${bytes}0x00};\n"
  "const std::size_t ${SYMBOL}Size = ${size};\n")
execute_process(COMMAND "${CMAKE_COMMAND}" -E copy_if_different "${OUTPUT}.tmp" "${OUTPUT}")
file(REMOVE "${OUTPUT}.tmp")
