# Writes the text file IN as a C++ string constant NAME into the header OUT (cmake -P).
file(READ ${IN} text)
string(FIND "${text}" ")kestrel-text\"" clash)
if(NOT clash EQUAL -1)
    message(FATAL_ERROR "${IN} holds the raw string's end marker")
endif()
file(WRITE ${OUT}.new "// Generated from ${IN}; do not edit.\n#pragma once\nnamespace kestrel {\ninline constexpr char ${NAME}[] = R\"kestrel-text(${text})kestrel-text\";\n}  // namespace kestrel\n")
file(RENAME ${OUT}.new ${OUT})
