# Turns a binary resource bundle into the C source of a resource library.
#   cmake -DIN=bundle.rcc -DOUT=bundle.c -P EmbedBundle.cmake
file(READ "${IN}" hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x..,){16})" "\\1\n" bytes "${bytes}")
file(WRITE "${OUT}" "/* Generated from ${IN}; do not edit. */
static const unsigned char bundle[] __attribute__((aligned(16))) = {
${bytes}
};

__attribute__((visibility(\"default\"))) const unsigned char* quenda_resource_bundle(void) { return bundle; }
")
