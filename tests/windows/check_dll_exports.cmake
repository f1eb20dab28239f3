# Checks KORU32.DLL and its import library on disk, with objdump and nm, so
# that it runs wherever the library is built, also where no Windows program
# can be executed:
#   cmake -DOBJDUMP=... -DNM=... -DDLL=KORU32.DLL -DIMPORT_LIBRARY=libKORU32.dll.a
#         -DDEFINITIONS=koru32.def -DCALLER=export_table_test.exe
#         -DEXPORT_LIST=export_list.txt -DHEADER=koru32.h -DPOINTER_SIZE=4|8
#         -P check_dll_exports.cmake
# - The DLL's export table holds exactly the names of the export list, all
#   plain (MakeNet, never MakeNet@8 or _MakeNet).
# - The export list agrees with the header: a function declared with
#   KORU32_CALL is listed with its number of arguments, one declared without
#   it (the runtime hook) is listed as cdecl.
# - On 32-bit Windows, where KORU32_CALL is the standard call, the
#   module-definition file names each standard-call export Name@bytes and the
#   import library defines the symbols a standard-call caller references
#   (_MakeNet@8 and its slot __imp__MakeNet@8); the hook keeps _matherr. On
#   64-bit Windows every symbol is the plain name.
# - CALLER, a program that references every export through the import
#   library, imports each of them from KORU32.DLL under its plain name: the
#   import library binds the decorated symbols to the names the DLL exports.
# - The DLL imports from the system's own DLLs only.
cmake_minimum_required(VERSION 3.25)
set(failures "")
macro(fail text)
  string(APPEND failures "\n  ${text}")
endmacro()

function(run_tool output_var)
  execute_process(COMMAND ${ARGN} OUTPUT_VARIABLE output RESULT_VARIABLE result ERROR_VARIABLE errors)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${ARGN} failed (${result}): ${errors}")
  endif()
  set(${output_var} "${output}" PARENT_SCOPE)
endfunction()

# objdump -p: the export table's names follow "[Ordinal/Name Pointer] Table"
# one a line ("\t[   0] AddSlab"); the imports come as "DLL Name: X" each
# followed by its "<hint> <name>" lines up to a blank line.
function(read_exports file names_var)
  run_tool(text ${OBJDUMP} -p ${file})
  string(FIND "${text}" "[Ordinal/Name Pointer] Table" at)
  set(names "")
  if(NOT at EQUAL -1)
    string(SUBSTRING "${text}" ${at} -1 table)
    string(REGEX MATCHALL "\n\t\\[ *[0-9]+\\] [^\n]+" lines "${table}")
    foreach(line IN LISTS lines)
      string(REGEX REPLACE "^\n\t\\[ *[0-9]+\\] " "" name "${line}")
      list(APPEND names "${name}")
    endforeach()
  endif()
  set(${names_var} "${names}" PARENT_SCOPE)
endfunction()

function(read_imports file dlls_var from_dll names_var)
  run_tool(text ${OBJDUMP} -p ${file})
  string(REPLACE "\r" "" text "${text}")
  string(REPLACE ";" "," text "${text}")
  string(REPLACE "\n" ";" lines "${text}")
  set(dlls "")
  set(names "")
  set(current "")
  foreach(line IN LISTS lines)
    if(line MATCHES "^[ \t]*DLL Name: (.+)$")
      set(current "${CMAKE_MATCH_1}")
      list(APPEND dlls "${current}")
    elseif(line MATCHES "^[ \t]*$")
      set(current "")
    elseif(current STREQUAL from_dll AND line MATCHES "^\t[0-9a-f]+[ \t]+([0-9]+[ \t]+)?([A-Za-z_][A-Za-z0-9_@]*)$")
      list(APPEND names "${CMAKE_MATCH_2}")
    endif()
  endforeach()
  set(${dlls_var} "${dlls}" PARENT_SCOPE)
  set(${names_var} "${names}" PARENT_SCOPE)
endfunction()

# The export list: name -> argument count, or "cdecl".
file(STRINGS ${EXPORT_LIST} entries REGEX "^[A-Za-z_]")
set(listed "")
foreach(entry IN LISTS entries)
  if(NOT entry MATCHES "^([A-Za-z_][A-Za-z0-9_]*)[ \t]+([0-9]+|cdecl)[ \t]*$")
    message(FATAL_ERROR "${EXPORT_LIST}: cannot read \"${entry}\"")
  endif()
  list(APPEND listed ${CMAKE_MATCH_1})
  set(list_${CMAKE_MATCH_1} ${CMAKE_MATCH_2})
endforeach()
list(LENGTH listed listed_count)
if(listed_count EQUAL 0)
  message(FATAL_ERROR "${EXPORT_LIST} lists no export")
endif()

# The header's declarations, without comments and preprocessor lines: each
# "KORU32_API ... Name(arguments);", standard call when KORU32_CALL precedes
# the name.
file(READ ${HEADER} header)
while(TRUE)
  string(FIND "${header}" "/*" open)
  if(open EQUAL -1)
    break()
  endif()
  string(SUBSTRING "${header}" ${open} -1 rest)
  string(FIND "${rest}" "*/" close)
  if(close EQUAL -1)
    message(FATAL_ERROR "${HEADER}: unterminated comment")
  endif()
  string(SUBSTRING "${header}" 0 ${open} before)
  math(EXPR after "${close} + 2")
  string(SUBSTRING "${rest}" ${after} -1 rest)
  set(header "${before} ${rest}")
endwhile()
string(REGEX REPLACE "(^|\n)[ \t]*#[^\n]*" "\\1" header "${header}")
# A semicolon would split CMake's list of declarations: each ends in a
# backtick instead.
string(REPLACE ";" "`" header "${header}")
string(REGEX MATCHALL "KORU32_API[^`]*`" declarations "${header}")
set(declared "")
foreach(declaration IN LISTS declarations)
  string(REGEX REPLACE "[ \t\n]+" " " declaration "${declaration}")
  if(NOT declaration MATCHES "(KORU32_CALL )?([A-Za-z_][A-Za-z0-9_]*) ?\\(([^)]*)\\) ?`$")
    fail("${HEADER}: cannot read the declaration \"${declaration}\"")
    continue()
  endif()
  set(name ${CMAKE_MATCH_2})
  set(arguments "${CMAKE_MATCH_3}")
  if(CMAKE_MATCH_1 STREQUAL "")
    set(convention cdecl)
  else()
    string(STRIP "${arguments}" arguments)
    if(arguments STREQUAL "" OR arguments STREQUAL "void")
      set(convention 0)
    else()
      string(REGEX MATCHALL "," commas "${arguments}")
      list(LENGTH commas convention)
      math(EXPR convention "${convention} + 1")
    endif()
  endif()
  # The runtime hook is declared once per platform branch; both must agree.
  if(DEFINED header_${name} AND NOT header_${name} STREQUAL convention)
    fail("${HEADER} declares ${name} twice, differently")
  endif()
  set(header_${name} ${convention})
  list(APPEND declared ${name})
endforeach()
list(REMOVE_DUPLICATES declared)

foreach(name IN LISTS listed)
  if(NOT DEFINED header_${name})
    fail("${name} is listed for export but the header does not declare it")
  elseif(NOT header_${name} STREQUAL list_${name})
    if(header_${name} STREQUAL "cdecl")
      fail("${name}: the header declares it without KORU32_CALL, the list gives it ${list_${name}} arguments")
    else()
      fail("${name}: the header gives it ${header_${name}} arguments in KORU32_CALL, the list says ${list_${name}}")
    endif()
  endif()
endforeach()
foreach(name IN LISTS declared)
  if(NOT name IN_LIST listed)
    fail("${name} is declared in the header but not in the export list")
  endif()
endforeach()

# The export table: exactly the listed names, undecorated.
read_exports(${DLL} exported)
foreach(name IN LISTS exported)
  if(name MATCHES "@")
    fail("KORU32.DLL exports the decorated name ${name}")
  elseif(NOT name IN_LIST listed)
    fail("KORU32.DLL exports ${name}, which is not in the export list")
  endif()
endforeach()
foreach(name IN LISTS listed)
  if(NOT name IN_LIST exported)
    fail("KORU32.DLL does not export ${name}")
  endif()
endforeach()

# The linker names: module-definition file and import library.
file(STRINGS ${DEFINITIONS} definition_lines)
run_tool(symbols ${NM} ${IMPORT_LIBRARY})
string(REGEX MATCHALL "[0-9a-fA-F]+ [TI] [^\n]+" symbol_lines "${symbols}")
set(defined "")
foreach(line IN LISTS symbol_lines)
  string(REGEX REPLACE "^[0-9a-fA-F]+ [TI] " "" symbol "${line}")
  list(APPEND defined "${symbol}")
endforeach()
foreach(name IN LISTS listed)
  if(POINTER_SIZE EQUAL 4 AND NOT list_${name} STREQUAL "cdecl")
    math(EXPR bytes "4 * ${list_${name}}")
    set(linker_name "${name}@${bytes}")
    set(c_symbol "_${linker_name}")
  elseif(POINTER_SIZE EQUAL 4)
    set(linker_name "${name}")
    set(c_symbol "_${name}")
  else()
    set(linker_name "${name}")
    set(c_symbol "${name}")
  endif()
  if(NOT "    ${linker_name}" IN_LIST definition_lines)
    fail("${DEFINITIONS} does not name ${linker_name}")
  endif()
  if(NOT c_symbol IN_LIST defined OR NOT "__imp_${c_symbol}" IN_LIST defined)
    fail("the import library lacks ${c_symbol} or __imp_${c_symbol}")
  endif()
endforeach()

# A caller linked through the import library imports every export by its
# plain name; the DLL needs nothing but the system's own DLLs.
read_imports(${CALLER} caller_dlls KORU32.DLL bound)
foreach(name IN LISTS listed)
  if(NOT name IN_LIST bound)
    fail("${CALLER} does not import ${name} from KORU32.DLL by its plain name")
  endif()
endforeach()
foreach(name IN LISTS bound)
  if(NOT name IN_LIST listed)
    fail("${CALLER} imports ${name} from KORU32.DLL, which the list does not name")
  endif()
endforeach()

read_imports(${DLL} dlls "" unused)
if(dlls STREQUAL "")
  fail("KORU32.DLL shows no import table")
endif()
foreach(dll IN LISTS dlls)
  string(TOLOWER "${dll}" dll_lower)
  if(NOT dll_lower MATCHES "^(kernel32|advapi32|msvcrt)\\.dll$")
    fail("KORU32.DLL imports ${dll}, not a system DLL")
  endif()
endforeach()

if(NOT failures STREQUAL "")
  message(FATAL_ERROR "KORU32.DLL (${POINTER_SIZE}-byte pointers):${failures}")
endif()
list(JOIN dlls ", " dll_text)
message(STATUS "KORU32.DLL: ${listed_count} exports as listed and as the header declares them, "
               "plain names, bound by the import library; imports only ${dll_text}")
