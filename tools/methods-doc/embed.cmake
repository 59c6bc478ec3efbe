# Writes OUTPUT, a C++ source that holds the text of INPUT as a raw string.
file(READ "${INPUT}" text)
string(FIND "${text}" ")meanings\"" clash)
if(NOT clash EQUAL -1)
  message(FATAL_ERROR "${INPUT} holds the text )meanings\" which ends the embedded string")
endif()
set(source "// Generated from ${INPUT} by embed.cmake.\n#include \"meanings.h\"\n\nnamespace ostrel::methods_doc {\n\nstd::string_view BuiltInMeaningsText() {\n  static constexpr char kText[] = R\"meanings(${text})meanings\";\n  return {kText, sizeof kText - 1};\n}\n\n}  // namespace ostrel::methods_doc\n")
file(WRITE "${OUTPUT}.tmp" "${source}")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
