# The release as users download it: cpack's ZIP, its listing, the guide's
# form, and the packed program run once under Wine (the "not installed"
# scenario of the end-to-end tests, pointed at the unpacked program).
# Run with -DBIN=<32-bit build dir> -DVERSION=<x.y.z> -DCPACK=<cpack>
#          -DWINE_RUN=<wine-run.sh>.
cmake_policy(SET CMP0007 NEW)

function(fail message)
  message(FATAL_ERROR "release: ${message}")
endfunction()

execute_process(COMMAND ${CPACK} -G ZIP WORKING_DIRECTORY ${BIN} RESULT_VARIABLE rc OUTPUT_QUIET)
set(zip ${BIN}/VaxuConverter-${VERSION}.zip)
if(NOT rc EQUAL 0 OR NOT EXISTS ${zip})
  fail("cpack made no ${zip}")
endif()

execute_process(COMMAND ${CMAKE_COMMAND} -E tar tf ${zip} OUTPUT_VARIABLE listing)
string(REPLACE "\n" ";" listing "${listing}")
list(REMOVE_ITEM listing "")
list(SORT listing)
if(NOT listing STREQUAL "LICENSE.txt;README_ja.txt;VaxuConverter.exe")
  fail("the ZIP holds ${listing}")
endif()

set(unpacked ${BIN}/release-check)
file(REMOVE_RECURSE ${unpacked})
file(MAKE_DIRECTORY ${unpacked})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ${zip} WORKING_DIRECTORY ${unpacked})

# A 32-bit program: the PE header's machine field is 0x014C (i386).
file(READ ${unpacked}/VaxuConverter.exe head LIMIT 1024 HEX)
if(NOT head MATCHES "504500004c01")
  fail("VaxuConverter.exe is not a 32-bit program")
endif()
# The guide: UTF-8 with a BOM and CRLF line ends only, as Notepad reads it.
file(READ ${unpacked}/README_ja.txt guide HEX)
string(REGEX REPLACE "0d0a" "" bare "${guide}")
if(NOT guide MATCHES "^efbbbf" OR bare MATCHES "^(..)*0a" OR NOT guide MATCHES "0d0a")
  fail("README_ja.txt is not UTF-8 with BOM and CRLF")
endif()

string(REPLACE "/" "\\" windowsPath "Z:${unpacked}/VaxuConverter.exe")
set(ENV{VAXU_CONVERTER} "${windowsPath}")
execute_process(COMMAND ${WINE_RUN} ${BIN}/bin/vaxu_e2e_tests.exe --gtest_filter=Converter.ValuesOnlyInThe64BitViewAreNotTheLaunchers
                WORKING_DIRECTORY ${BIN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
message("${out}")
if(NOT rc EQUAL 0 OR NOT out MATCHES "PASSED.*1 test")
  fail("the packed program did not run as expected")
endif()
