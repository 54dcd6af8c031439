# Packages, made with cpack in a build folder (scripts/package.sh does it):
#   Windows: OrviHTTP-<version>-setup.exe (NSIS, per-user install) and
#            OrviHTTP-<version>-portable.zip
#   Linux:   OrviHTTP-<version>-linux-<processor>.tar.gz with a systemd user unit
# Every package holds the installed layout; binaries are stripped.
if(NOT WIN32)
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/linux/orvi-http-server.service DESTINATION .)
endif()

# cpack builds only what it installs (scripts/package.sh builds those
# targets), not every test of the build folder.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(CPACK_PACKAGE_NAME "Orvi HTTP Server")
set(CPACK_PACKAGE_VENDOR "Quintarvo")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "A small personal web server with a tray plugin host")
set(CPACK_PACKAGE_INSTALL_DIRECTORY "Orvi HTTP Server")
set(CPACK_STRIP_FILES TRUE)
set(CPACK_SOURCE_GENERATOR "")
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_SOURCE_DIR}/dist)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_SOURCE_DIR}/packaging/CPackOptions.cmake)
if(WIN32)
  set(CPACK_GENERATOR "NSIS;ZIP")
  set(CPACK_SYSTEM_PROCESSOR x86_64)
  # The installer script is ours (packaging/windows/NSIS.template.in): a
  # per-user install without administrator rights, which the stock template
  # does not do.
  list(PREPEND CMAKE_MODULE_PATH ${CMAKE_SOURCE_DIR}/packaging/windows)
  set(CPACK_NSIS_MUI_ICON ${CMAKE_SOURCE_DIR}/host/icons/trellan_large.ico)
  set(CPACK_NSIS_MUI_UNIICON ${CMAKE_SOURCE_DIR}/host/icons/trellan_large.ico)
  set(CPACK_NSIS_DISPLAY_NAME "Orvi HTTP Server")
  set(CPACK_NSIS_PACKAGE_NAME "Orvi HTTP Server")
else()
  set(CPACK_GENERATOR "TGZ")
  set(CPACK_SYSTEM_PROCESSOR ${CMAKE_SYSTEM_PROCESSOR})
endif()
include(CPack)
