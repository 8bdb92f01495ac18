# Writes a C++ file that hands the bytes of a .res file to winshim at start-up.
file(READ ${IN} hex HEX)
string(LENGTH "${hex}" len)
math(EXPR size "${len} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x..,){24})" "\\1\n" bytes "${bytes}")
file(WRITE ${OUT} "// Generated from ${IN}; do not edit.\n#include \"winshim_resources.h\"\n\n"
  "static const unsigned char kRes[${size}] = {\n${bytes}\n};\n\n"
  "[[maybe_unused]] static const bool kRegistered = winshim::RES_RegisterModule(kRes, sizeof kRes);\n")
