# Whether a document fits its limits: at most LINES lines and, unless 0,
# COLUMNS columns, a character counting as wide as its Shift-JIS bytes (as
# Notepad shows a Japanese text): ASCII and half-width katakana one column,
# any other character two.
# Run with -DFILE=<UTF-8 text> -DLINES=<n> -DCOLUMNS=<n> -P doc_limits.cmake.
cmake_policy(SET CMP0007 NEW)

file(READ ${FILE} text HEX)
# Each byte as two hex digits and a blank, so that no pattern straddles
# two bytes (a UTF-8 lead byte is c0-ff); without the byte-order mark and
# the last line's end, which starts no line; then one line per list item.
string(REGEX REPLACE "(..)" "\\1 " text "${text}")
string(REGEX REPLACE "^ef bb bf |(0d )?0a $" "" text "${text}")
string(REGEX REPLACE "(0d )?0a " ";" lines "${text}")
list(LENGTH lines count)
set(faults "")
set(number 0)
foreach(line IN LISTS lines)
  math(EXPR number "${number} + 1")
  string(REGEX MATCHALL "[^ ]+" bytes "${line}")
  set(ascii ${bytes})
  set(leads ${bytes})
  list(FILTER ascii INCLUDE REGEX "^[0-7]")
  list(FILTER leads INCLUDE REGEX "^[c-f]")
  string(REGEX MATCHALL "ef bd (a[1-9a-f]|b.)|ef be [89]." narrow "${line}")
  list(LENGTH ascii a)
  list(LENGTH leads l)
  list(LENGTH narrow n)
  math(EXPR columns "${a} + 2 * ${l} - ${n}")
  if(COLUMNS GREATER 0 AND columns GREATER COLUMNS)
    string(APPEND faults "\n  line ${number}: ${columns} columns, more than ${COLUMNS}")
  endif()
endforeach()
if(count GREATER LINES)
  string(APPEND faults "\n  ${count} lines, more than ${LINES}")
endif()
if(faults)
  message(FATAL_ERROR "${FILE}:${faults}")
endif()
message(STATUS "${FILE}: ${count} lines")
