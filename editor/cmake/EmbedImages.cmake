# Writes a C++ source that holds the given PNG files as byte arrays, with a
# table naming each by its file name. Run as a script:
#   cmake -DOUTPUT=<file.cpp> -DIMAGES=<a.png;b.png;...> [-DNAMES_ONLY=ON] -P EmbedImages.cmake
# NAMES_ONLY: the table names the images without their bytes, for modules
# that carry the images as resources of their own (Windows).
set(body "// Generated from editor/images at build time; do not edit.\n#include \"EditorImages.h\"\n\nnamespace {\n")
set(table "")
set(index 0)
foreach(image IN LISTS IMAGES)
  get_filename_component(name ${image} NAME)
  if(NAMES_ONLY)
    string(APPEND table "    {\"${name}\", nullptr, 0},\n")
    math(EXPR index "${index} + 1")
    continue()
  endif()
  file(READ ${image} hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  # Sixteen bytes to a line keeps the generated file readable.
  string(REGEX REPLACE "((0x[0-9a-f][0-9a-f],){16})" "\\1\n    " bytes "${bytes}")
  string(APPEND body "const unsigned char kImage${index}[] = {\n    ${bytes}\n};\n")
  string(APPEND table "    {\"${name}\", kImage${index}, sizeof kImage${index}},\n")
  math(EXPR index "${index} + 1")
endforeach()
string(APPEND body "}  // namespace\n\nconst VSTGUI::EmbeddedResource kEditorImages[] = {\n${table}};\n")
string(APPEND body "const size_t kEditorImageCount = ${index};\n")
file(WRITE ${OUTPUT}.tmp "${body}")
file(COPY_FILE ${OUTPUT}.tmp ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.tmp)
