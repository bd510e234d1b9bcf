# Joins the shader pieces and writes them out as C++ byte arrays.
#   SHADER_DIR  folder of the pieces
#   PIECES      the piece file names, in order
#   OUT_DIR     where shader_source.cpp, shader_pieces.cpp and intro.frag go
# Bytes rather than string literals keep every compiler's literal-length
# limit (Visual Studio's in particular) out of the way.

function(bytes_of_file path out_var)
  file(READ ${path} hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  # Line-wrap the initialiser so that the generated file stays viewable.
  string(REGEX REPLACE "((0x..,){24})" "\\1\n  " bytes "${bytes}")
  set(${out_var} "${bytes}" PARENT_SCOPE)
endfunction()

file(MAKE_DIRECTORY ${OUT_DIR})
set(joined_path ${OUT_DIR}/intro.frag)
file(WRITE ${joined_path} "")

set(piece_arrays "")
set(piece_table "")
set(index 0)
foreach(piece IN LISTS PIECES)
  set(path ${SHADER_DIR}/${piece})
  file(READ ${path} text)
  string(LENGTH "${text}" length)
  if(length GREATER 0)
    math(EXPR last "${length} - 1")
    string(SUBSTRING "${text}" ${last} 1 tail)
    if(NOT tail STREQUAL "\n")
      message(FATAL_ERROR "shader piece ${piece} must end with a newline")
    endif()
  endif()
  file(APPEND ${joined_path} "${text}")
  bytes_of_file(${path} bytes)
  string(APPEND piece_arrays "static const char piece_${index}[] = {\n  ${bytes}0x00};\n")
  string(APPEND piece_table "  {\"${piece}\", piece_${index}},\n")
  math(EXPR index "${index} + 1")
endforeach()

bytes_of_file(${joined_path} joined_bytes)
file(WRITE ${OUT_DIR}/shader_source.cpp.tmp
"// Generated from the pieces in shader/; edit those, not this file.
#include \"shader_source.h\"

static const char shader_text[] = {
  ${joined_bytes}0x00};

const char* const shader_source = shader_text;
")
file(WRITE ${OUT_DIR}/shader_pieces.cpp.tmp
"// Generated from the pieces in shader/; edit those, not this file.
#include \"shader_pieces.h\"

${piece_arrays}
const ShaderPiece shader_pieces[] = {
${piece_table}};

const int shader_piece_count = ${index};
")
# Rewrite only on change so that dependants are not rebuilt needlessly.
foreach(name shader_source.cpp shader_pieces.cpp)
  file(COPY_FILE ${OUT_DIR}/${name}.tmp ${OUT_DIR}/${name} ONLY_IF_DIFFERENT)
  file(REMOVE ${OUT_DIR}/${name}.tmp)
endforeach()
