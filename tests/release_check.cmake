# The release as users download it: the ZIP and its SHA256SUMS, the same
# bytes when built again in another folder, its listing, the guide's form,
# and the packed program run once under Wine (the "not installed" scenario
# of the end-to-end tests, pointed at the unpacked program).
# Run with -DBIN=<32-bit build dir> -DSOURCE=<source dir> -DVERSION=<x.y.z>
#          -DTOOLCHAIN=<toolchain file> -DWINE_RUN=<wine-run.sh> -DOBJDUMP=<objdump>.
cmake_policy(SET CMP0007 NEW)

function(fail message)
  message(FATAL_ERROR "release: ${message}")
endfunction()

function(build_release dir)
  execute_process(COMMAND ${CMAKE_COMMAND} --build ${dir} --target release --parallel 2
                  RESULT_VARIABLE rc OUTPUT_QUIET)
  if(NOT rc EQUAL 0 OR NOT EXISTS ${dir}/VaxuConverter-${VERSION}.zip)
    fail("no VaxuConverter-${VERSION}.zip in ${dir}")
  endif()
endfunction()

build_release(${BIN})
set(zip ${BIN}/VaxuConverter-${VERSION}.zip)
execute_process(COMMAND sha256sum -c SHA256SUMS WORKING_DIRECTORY ${BIN} RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  fail("sha256sum -c SHA256SUMS does not pass")
endif()

# The program alone, built again from scratch in another folder.
set(again ${BIN}/release-again)
file(REMOVE_RECURSE ${again})
execute_process(COMMAND ${CMAKE_COMMAND} -S ${SOURCE} -B ${again} -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN}
                        -DCMAKE_BUILD_TYPE=Release -DVAXU_TESTS=OFF RESULT_VARIABLE rc OUTPUT_QUIET)
build_release(${again})
foreach(file VaxuConverter-${VERSION}.zip SHA256SUMS)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${BIN}/${file} ${again}/${file} RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    fail("${file} differs when built in another folder")
  endif()
endforeach()

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
# No debug data, and a header that names Vista (6.0), as the manifest does.
execute_process(COMMAND ${OBJDUMP} -h -p ${unpacked}/VaxuConverter.exe OUTPUT_VARIABLE header RESULT_VARIABLE rc)
if(NOT rc EQUAL 0 OR header MATCHES "\\.debug_" OR NOT header MATCHES "MajorSubsystemVersion[ \t]+6\n"
   OR NOT header MATCHES "MinorSubsystemVersion[ \t]+0\n")
  fail("VaxuConverter.exe carries debug data or does not name Windows 6.0")
endif()
# Its icon (group 102) and its manifest: Vista to 11, system DPI aware, and
# no execution level, which would turn off the UAC file virtualization that
# the launcher relies on.
file(STRINGS ${unpacked}/VaxuConverter.exe manifest REGEX "dpiAware|8e0f7a12|<trustInfo")
if(NOT header MATCHES "ID: 0x00000e,[^\n]*\n[^\n]*\n[^\n]*ID: 0x000066," OR NOT header MATCHES "ID: 0x000018,"
   OR NOT manifest MATCHES ">true</dpiAware>" OR NOT manifest MATCHES "8e0f7a12" OR manifest MATCHES "<trustInfo")
  fail("VaxuConverter.exe lacks its icon, or its manifest is not as it should be")
endif()
file(SIZE ${unpacked}/VaxuConverter.exe programSize)
file(SIZE ${zip} zipSize)
message("release: VaxuConverter.exe ${programSize} bytes, VaxuConverter-${VERSION}.zip ${zipSize} bytes")
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
