# The Debian package (make package): the library, kximport and kxdb, the column maps, schemas and
# manual, a man page made from the README's kximport section, and an example settings file that
# dpkg keeps as a configuration file.
include(GNUInstallDirs)
set(KX_PACKAGE_NAME impapikorvalix)
set(KX_SHARE_DIR ${CMAKE_INSTALL_DATADIR}/${KX_PACKAGE_NAME})
set(KX_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/${KX_PACKAGE_NAME})
# The plug-in is loaded by path, not linked: a folder of its own below /usr/lib.
set(KX_PLUGIN_DIR lib/${KX_PACKAGE_NAME})

install(TARGETS ImpApiKorvalix LIBRARY DESTINATION ${KX_PLUGIN_DIR})
install(TARGETS kximport kxdb RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES install/BESTAND.txt install/TRANSAKT.txt install/DBSTARTIDS.txt install/KXDB.sql
              install/KORVALIX.xsd install/PROVIDER-FILES.md DESTINATION ${KX_SHARE_DIR})
install(FILES install/debian/registry.reg DESTINATION /etc/velqora/tavo)
install(FILES install/debian/copyright DESTINATION ${KX_DOC_DIR})
if(TARGET manual)
  install(FILES "${CMAKE_BINARY_DIR}/manual/Die Schnittstelle zu KORVALIX.pdf" DESTINATION ${KX_DOC_DIR})
endif()

# Man page and changelog, compressed as Debian wants them.
set(KX_MAN_PAGE ${CMAKE_BINARY_DIR}/package/kximport.1.gz)
set(KX_CHANGELOG ${CMAKE_BINARY_DIR}/package/changelog.gz)
configure_file(install/debian/changelog ${CMAKE_BINARY_DIR}/package/changelog @ONLY)
add_custom_command(OUTPUT ${KX_MAN_PAGE} ${KX_CHANGELOG}
  COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/readme-to-man.sh ${CMAKE_SOURCE_DIR}/README.md ${PROJECT_VERSION}
          > ${CMAKE_BINARY_DIR}/package/kximport.1
  COMMAND gzip -9nf ${CMAKE_BINARY_DIR}/package/kximport.1
  COMMAND gzip -9nc ${CMAKE_BINARY_DIR}/package/changelog > ${KX_CHANGELOG}
  DEPENDS ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/scripts/readme-to-man.sh install/debian/changelog
  COMMENT "Making the man page of kximport from the README"
  VERBATIM)
add_custom_target(package_docs ALL DEPENDS ${KX_MAN_PAGE} ${KX_CHANGELOG})
install(FILES ${KX_MAN_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${KX_CHANGELOG} DESTINATION ${KX_DOC_DIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${KX_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_FILE_NAME ${KX_PACKAGE_NAME}_${PROJECT_VERSION}_amd64)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "depot data import of the provider KORVALIX for the host application")
set(CPACK_PACKAGE_DESCRIPTION
    "The import plug-in fetches an advisor's customer depot data from the\n"
    "provider over HTTPS, loads them into a local Firebird staging database and\n"
    "writes the host's XML import file. kximport runs an import and checks an\n"
    "installation; kxdb creates the staging database.")
set(CPACK_PACKAGE_CONTACT "ImpApiKorvalix developers <impapikorvalix@example.org>")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# libcurl, Nettle, expat and the C++ runtime from the programs' own links; the Firebird client
# is loaded at run time, so it is named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libfbclient2")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_SOURCE_DIR}/install/debian/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR}/package)
include(CPack)
