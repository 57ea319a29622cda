# Writes the style sheet of the panel's form (tarndeck.ui) into a header, so
# that the floor window wears exactly what the panel wears.
#   cmake -DUI=tarndeck.ui -DOUT=panelstylesheet.h -P panelstylesheet.cmake
file(READ "${UI}" form)
string(REGEX MATCH "<property name=\"styleSheet\">[ \t\r\n]*<string[^>]*>([^<]*)</string>" found "${form}")
if(NOT found)
    message(FATAL_ERROR "No style sheet in ${UI}")
endif()
set(sheet "${CMAKE_MATCH_1}")
string(REPLACE "&lt;" "<" sheet "${sheet}")
string(REPLACE "&gt;" ">" sheet "${sheet}")
string(REPLACE "&quot;" "\"" sheet "${sheet}")
string(REPLACE "&apos;" "'" sheet "${sheet}")
string(REPLACE "&amp;" "&" sheet "${sheet}")
file(WRITE "${OUT}.new" "// Generated from the panel's form; do not edit.\n#pragma once\nconstexpr const char panelStyleSheet[] = R\"qss(${sheet})qss\";\n")
file(COPY_FILE "${OUT}.new" "${OUT}" ONLY_IF_DIFFERENT)
