# Run as `cmake -DLANG=cht -DMO=cht.mo -DOUT=catalog_cht.cpp -P embed_catalog.cmake`: writes a C++
# source that defines the bytes of a compiled catalog as corva::frame::kCatalogMo<Lang> and its
# length as kCatalogMo<Lang>Size, for src/frame/catalog.cpp to parse.

file(READ ${MO} hex HEX)
string(LENGTH "${hex}" hex_length)
math(EXPR size "${hex_length} / 2")

# Two hex digits per byte; sixteen bytes per line.
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REPEAT "0x[0-9a-f][0-9a-f]," 16 line_pattern)
string(REGEX REPLACE "(${line_pattern})" "\\1\n    " bytes "${bytes}")

string(SUBSTRING ${LANG} 0 1 first)
string(SUBSTRING ${LANG} 1 -1 rest)
string(TOUPPER ${first} first)
set(name "kCatalogMo${first}${rest}")

file(WRITE ${OUT} "// Generated at build time from i18n/${LANG}.po; do not edit.
#include <cstddef>

namespace corva::frame {

extern const unsigned char ${name}[] = {
    ${bytes}};
extern const std::size_t ${name}Size = ${size};

}  // namespace corva::frame
")
