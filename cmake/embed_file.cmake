# Writes a C++ source that holds the bytes of a file, for programs that serve files
# built into them (hvxview's page). Run as a script at build time:
#   cmake -DINPUT=FILE -DOUTPUT=SOURCE.cc -DSYMBOL=NAME -P embed_file.cmake
# SOURCE.cc defines `const char NAME[]` (the bytes and a terminating zero) and
# `const size_t NAMESize` (the bytes without it).
file(READ "${INPUT}" content HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${content}")
file(WRITE "${OUTPUT}.tmp"
  "// Made at build time by cmake/embed_file.cmake from ${INPUT}.\n"
  "#include <cstddef>\n"
  "extern const char ${SYMBOL}[] = {${bytes}'\\0'};\n"
  "extern const size_t ${SYMBOL}Size = sizeof ${SYMBOL} - 1;\n")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
