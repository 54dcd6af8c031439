# The plugin DLL exports exactly GetPluginVersion and GetPlugin, and neither
# binary imports a DLL that Windows itself does not ship.
set(SYSTEM_DLLS
  advapi32.dll comctl32.dll comdlg32.dll gdi32.dll kernel32.dll msvcrt.dll ole32.dll
  oleaut32.dll shell32.dll user32.dll winmm.dll ws2_32.dll shlwapi.dll
  api-ms-win-crt-runtime-l1-1-0.dll)

execute_process(COMMAND ${OBJDUMP} -p ${PLUGIN} OUTPUT_VARIABLE plugin_dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "objdump failed on ${PLUGIN}")
endif()
# The export table lists "[ordinal] name" rows after "[Ordinal/Name Pointer] Table".
string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table[^\n]*\n(([ \t]+\\[[^\n]*\n)*)" table "${plugin_dump}")
set(rows "${CMAKE_MATCH_1}")
string(REGEX MATCHALL "\\][ \t]+[A-Za-z_0-9@]+" names "${rows}")
set(exports)
foreach(entry IN LISTS names)
  string(REGEX REPLACE "^\\][ \t]+" "" entry "${entry}")
  list(APPEND exports ${entry})
endforeach()
list(SORT exports)
message(STATUS "OrviHTTP exports: ${exports}")
if(NOT exports STREQUAL "GetPlugin;GetPluginVersion")
  message(FATAL_ERROR "unexpected exports: ${exports}")
endif()

foreach(binary ${PLUGIN} ${HOST})
  execute_process(COMMAND ${OBJDUMP} -p ${binary} OUTPUT_VARIABLE dump)
  string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${dump}")
  foreach(line IN LISTS imports)
    string(REGEX REPLACE "DLL Name: " "" dll "${line}")
    string(STRIP "${dll}" dll)
    string(TOLOWER "${dll}" dll)
    list(FIND SYSTEM_DLLS "${dll}" found)
    if(found EQUAL -1)
      message(FATAL_ERROR "${binary} imports ${dll}, which Windows does not ship")
    endif()
    message(STATUS "${binary} imports ${dll}")
  endforeach()
endforeach()
