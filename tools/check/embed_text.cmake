# Writes OUTPUT, a source file that defines the string_view NAME holding the bytes of INPUT, as a
# raw string literal; HEADER is included first, so the definition is checked against it.
file(READ "${INPUT}" text)
string(FIND "${text}" ")embedded\"" clash)
if(NOT clash EQUAL -1)
  message(FATAL_ERROR "${INPUT} holds the literal's end marker")
endif()
file(WRITE "${OUTPUT}.new" "#include \"${HEADER}\"\n\nconst std::string_view ${NAME} = R\"embedded(${text})embedded\";\n")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
