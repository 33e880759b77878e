# The Japanese guide explains every box the program shows: the first line
# of each text in messages.h must appear in it, byte for byte.
# Run with -DMESSAGES=<src/app/messages.h> -DGUIDE=<docs/guide_ja.txt.in>.
cmake_policy(SET CMP0007 NEW)

file(READ ${MESSAGES} source)
file(READ ${GUIDE} guide)

# Semicolons would split CMake's lists; a control character stands in.
string(ASCII 1 semicolon)
string(REPLACE ";" "${semicolon}" source "${source}")

set(ws "[ \t\r\n]")
set(literal "\"([^\"\\\\]|\\\\.)*\"")
string(REGEX MATCHALL "constexpr char k[A-Za-z0-9_]+\\[\\]${ws}*=(${ws}*${literal})+${ws}*${semicolon}"
       declarations "${source}")
# Every constant must be read, or one in another form would go unchecked.
string(REGEX MATCHALL "constexpr" constexprs "${source}")
list(LENGTH declarations read)
list(LENGTH constexprs all)
if(read EQUAL 0 OR NOT read EQUAL all)
  message(FATAL_ERROR "guide: read ${read} of the ${all} constants in ${MESSAGES}")
endif()

set(missing "")
set(checked 0)
foreach(declaration IN LISTS declarations)
  string(REGEX REPLACE "^constexpr char (k[A-Za-z0-9_]+).*" "\\1" name "${declaration}")
  # The open-file dialog's filter is a list of NUL-ended patterns, not a
  # message to explain.
  if(name STREQUAL "kAllFilesFilter")
    continue()
  endif()
  # Adjacent literals are one text.
  string(REGEX MATCHALL "${literal}" pieces "${declaration}")
  set(text "")
  foreach(piece IN LISTS pieces)
    string(REGEX REPLACE "^\"(.*)\"$" "\\1" piece "${piece}")
    string(APPEND text "${piece}")
  endforeach()
  # The first line, still escaped, then its escapes undone.
  string(REPLACE "\\\\" "${semicolon}b" text "${text}")
  string(FIND "${text}" "\\n" end)
  string(SUBSTRING "${text}" 0 ${end} line)
  string(REPLACE "\\\"" "\"" line "${line}")
  string(REPLACE "\\'" "'" line "${line}")
  if(line MATCHES "\\\\")
    message(FATAL_ERROR "guide: ${name} has an escape this check does not read: ${line}")
  endif()
  string(REPLACE "${semicolon}b" "\\" line "${line}")
  string(REPLACE "${semicolon}" ";" line "${line}")
  math(EXPR checked "${checked} + 1")
  string(FIND "${guide}" "${line}" at)
  if(at EQUAL -1)
    string(APPEND missing "\n  ${name}: ${line}")
  endif()
endforeach()

if(missing)
  message(FATAL_ERROR "guide: ${GUIDE} does not quote these texts:${missing}")
endif()
message(STATUS "guide: the first lines of all ${checked} texts are quoted")
