# Read by cpack for each generator: the package file names and the folder
# the archives unpack to.
set(version "${CPACK_PACKAGE_VERSION}")
if(CPACK_GENERATOR STREQUAL "NSIS")
  set(CPACK_PACKAGE_FILE_NAME "OrviHTTP-${version}-setup")
elseif(CPACK_GENERATOR STREQUAL "ZIP")
  # Unzipped, the portable copy is one folder named after the product.
  set(CPACK_PACKAGE_FILE_NAME "OrviHTTP-${version}-portable")
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
  set(CPACK_PACKAGING_INSTALL_PREFIX "/Orvi HTTP Server")
elseif(CPACK_GENERATOR STREQUAL "TGZ")
  # The systemd user unit expects the archive's folder as ~/orvi-http-server.
  set(CPACK_PACKAGE_FILE_NAME "OrviHTTP-${version}-linux-${CPACK_SYSTEM_PROCESSOR}")
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
  set(CPACK_PACKAGING_INSTALL_PREFIX "/orvi-http-server")
endif()
