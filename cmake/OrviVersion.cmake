# The product's version comes from the project() call only: the server's
# banner and plugin version (a generated header), the Windows version
# resources, the tools' --version and the package names all take it from
# there.
configure_file(${CMAKE_SOURCE_DIR}/orvihttp/config/product_version.h.in
               ${CMAKE_BINARY_DIR}/generated/orvihttp/config/product_version.h @ONLY)
include_directories(${CMAKE_BINARY_DIR}/generated)

# orvi_version_resource(<target> <description> [TOOL_MANIFEST])
# Gives a Windows binary its version resource: product name, version and
# description as Explorer's Properties show them. TOOL_MANIFEST adds the
# manifest of a command-line tool (programs with their own manifest keep it).
function(orvi_version_resource target description)
  if(NOT WIN32)
    return()
  endif()
  cmake_parse_arguments(RC "TOOL_MANIFEST" "" "" ${ARGN})
  enable_language(RC)
  get_target_property(type ${target} TYPE)
  set(ORVI_RC_TARGET ${target})
  set(ORVI_RC_DESCRIPTION "${description}")
  if(type STREQUAL "SHARED_LIBRARY")
    set(ORVI_RC_FILE_TYPE VFT_DLL)
    set(ORVI_RC_FILE_NAME ${target}.dll)
  else()
    set(ORVI_RC_FILE_TYPE VFT_APP)
    set(ORVI_RC_FILE_NAME ${target}.exe)
  endif()
  set(ORVI_RC_MANIFEST "")
  if(RC_TOOL_MANIFEST)
    set(ORVI_RC_MANIFEST
        "CREATEPROCESS_MANIFEST_RESOURCE_ID RT_MANIFEST \"${CMAKE_SOURCE_DIR}/cmake/windows/tool.manifest\"")
  endif()
  set(rc ${CMAKE_BINARY_DIR}/generated/version_info/${target}.rc)
  configure_file(${CMAKE_SOURCE_DIR}/cmake/windows/version_info.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
endfunction()
