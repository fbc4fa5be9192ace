# Writes the bytes of a text file as the initializer of a C++ char array, ending in '\0', so that
# a program can carry the file's text (cmake -DINPUT=file -DOUTPUT=file.inc -P EmbedText.cmake).
# Every byte becomes an escape: nothing in the text can end the literal early.
file(READ "${INPUT}" hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${hex}")
set(content "// Generated from ${INPUT}; edit that file instead.\n{${bytes}'\\0'}\n")
# Written only when it changed, so that nothing is rebuilt for an unchanged text.
file(WRITE "${OUTPUT}.new" "${content}")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
