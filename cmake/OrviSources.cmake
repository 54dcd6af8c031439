# Platform files are chosen by name: foo_win32.cpp is built only for Windows,
# foo_posix.cpp only elsewhere, so portable files never need #ifdef _WIN32.
function(orvi_collect_sources out_var)
  set(result)
  foreach(dir IN LISTS ARGN)
    file(GLOB found CONFIGURE_DEPENDS "${dir}/*.cpp")
    if(WIN32)
      file(GLOB rc CONFIGURE_DEPENDS "${dir}/*.rc")
      list(APPEND found ${rc})
      list(FILTER found EXCLUDE REGEX "_posix\\.cpp$")
    else()
      list(FILTER found EXCLUDE REGEX "_win32\\.cpp$")
    endif()
    list(APPEND result ${found})
  endforeach()
  set(${out_var} ${result} PARENT_SCOPE)
endfunction()

# System libraries each deliverable needs on its platform.
function(orvi_platform_libraries target)
  if(WIN32)
    target_link_libraries(${target} PUBLIC ws2_32 winmm advapi32 user32 gdi32 shell32 comctl32
                                           comdlg32 ole32)
  else()
    find_package(Threads REQUIRED)
    target_link_libraries(${target} PUBLIC Threads::Threads ${CMAKE_DL_LIBS})
  endif()
endfunction()

# A plugin library: named exactly as the host expects, exporting only
# GetPluginVersion and GetPlugin. On Linux it binds to its own copy of the
# foundation, never to the host's.
function(orvi_plugin_library target)
  set_target_properties(${target} PROPERTIES PREFIX "")
  if(WIN32)
    target_link_options(${target} PRIVATE -Wl,--kill-at)
  else()
    target_link_options(${target} PRIVATE
      -Wl,--version-script=${CMAKE_SOURCE_DIR}/plugin_api/plugin_exports.map
      -Wl,-Bsymbolic -Wl,--exclude-libs,ALL)
    # clang's sanitizer runtimes live in the executable, so a fuzzing build's
    # libraries legitimately leave their symbols open.
    if(NOT ORVI_FUZZ)
      target_link_options(${target} PRIVATE -Wl,--no-undefined)
    endif()
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS
                 ${CMAKE_SOURCE_DIR}/plugin_api/plugin_exports.map)
  endif()
endfunction()
