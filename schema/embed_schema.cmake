# Run as `cmake -DROOT=schema -DSCHEMA="a.sql|b.sql" -DSAMPLE="sample/c.sql" -DOUT=x.cpp -P
# embed_schema.cmake`: writes a C++ source that holds each script's bytes and name, in the order
# given, as the tables corva::db::kSchemaScript... and kSampleScript... that
# src/db/schema_installer.cpp reads.

# Appends to `body` the byte arrays of the files in `files` ("|"-separated) and the tables that list
# them under `prefix` (kSchemaScript or kSampleScript).
function(embed_group prefix files)
  string(REPLACE "|" ";" files "${files}")
  set(arrays "")
  set(names "")
  set(texts "")
  set(sizes "")
  set(count 0)
  foreach(file IN LISTS files)
    if(file STREQUAL "")
      continue()
    endif()
    file(READ ${file} hex HEX)
    string(LENGTH "${hex}" hex_length)
    math(EXPR size "${hex_length} / 2")
    # Two hex digits per byte, sixteen bytes per line, and a terminating zero.
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
    string(REPEAT "0x[0-9a-f][0-9a-f]," 16 line_pattern)
    string(REGEX REPLACE "(${line_pattern})" "\\1\n    " bytes "${bytes}")
    file(RELATIVE_PATH name ${ROOT} ${file})
    set(array "${prefix}Bytes${count}")
    string(APPEND arrays "const unsigned char ${array}[] = {\n    ${bytes}0x00};\n\n")
    string(APPEND names "    \"${name}\",\n")
    string(APPEND texts "    ${array},\n")
    string(APPEND sizes "    ${size},\n")
    math(EXPR count "${count} + 1")
  endforeach()
  # Each table ends with an empty entry, so that none is empty when the group has no script.
  set(group "namespace {\n\n${arrays}}  // namespace\n
extern const char* const ${prefix}Names[] = {\n${names}    nullptr};
extern const unsigned char* const ${prefix}Texts[] = {\n${texts}    nullptr};
extern const std::size_t ${prefix}Sizes[] = {\n${sizes}    0};
extern const std::size_t ${prefix}Count = ${count};\n\n")
  set(body "${body}${group}" PARENT_SCOPE)
endfunction()

set(body "")
embed_group(kSchemaScript "${SCHEMA}")
embed_group(kSampleScript "${SAMPLE}")

file(WRITE ${OUT}.tmp "// Generated at build time from schema/*.sql and schema/sample/*.sql; do not edit.
#include <cstddef>

namespace corva::db {

${body}}  // namespace corva::db
")
# Only a changed text touches the source, so an unchanged schema compiles nothing again.
execute_process(COMMAND ${CMAKE_COMMAND} -E copy_if_different ${OUT}.tmp ${OUT})
file(REMOVE ${OUT}.tmp)
