file(READ ${INPUT} hex HEX)
string(LENGTH "${hex}" hex_length)
math(EXPR size "${hex_length} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x[0-9a-f][0-9a-f],){16})" "\\1\n" bytes "${bytes}")
file(WRITE ${OUTPUT}
"// Generated from ${INPUT} at build time; do not edit.\n"
"#include <cstddef>\n"
"#include <cstdint>\n"
"extern const std::uint8_t ${SYMBOL}[];\n"
"extern const std::size_t ${SYMBOL}_size;\n"
"const std::uint8_t ${SYMBOL}[] = {\n${bytes}\n};\n"
"const std::size_t ${SYMBOL}_size = ${size};\n")
