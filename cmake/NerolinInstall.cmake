# What `cmake --install` puts where, the files that let other projects find
# the library (a CMake package and a pkg-config file), and the Debian
# package CPack makes of it all.
include(CMakePackageConfigHelpers)

set(NEROLIN_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/NerolinHTMLReport)
set(NEROLIN_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/nerolin-html-report)

if(BUILD_SHARED_LIBS)
  set(nerolin_installed nerolin_library)
else()
  set(nerolin_installed nerolin)
endif()
set_target_properties(${nerolin_installed} PROPERTIES EXPORT_NAME nerolin)
install(TARGETS ${nerolin_installed} EXPORT NerolinHTMLReportTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/nerolin
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} FILES_MATCHING PATTERN "*.h")
install(FILES ${PROJECT_BINARY_DIR}/include/nerolin/version.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/nerolin)
install(TARGETS nerolin-report RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/data/schema.sql
  DESTINATION ${CMAKE_INSTALL_DATADIR}/nerolin-html-report)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/doc/ DESTINATION ${NEROLIN_DOC_DIR})
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${NEROLIN_DOC_DIR})

install(EXPORT NerolinHTMLReportTargets NAMESPACE NerolinHTMLReport::
  DESTINATION ${NEROLIN_CMAKE_DIR})
configure_package_config_file(
  ${PROJECT_SOURCE_DIR}/cmake/NerolinHTMLReportConfig.cmake.in
  ${PROJECT_BINARY_DIR}/NerolinHTMLReportConfig.cmake
  INSTALL_DESTINATION ${NEROLIN_CMAKE_DIR})
write_basic_package_version_file(
  ${PROJECT_BINARY_DIR}/NerolinHTMLReportConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/NerolinHTMLReportConfig.cmake
              ${PROJECT_BINARY_DIR}/NerolinHTMLReportConfigVersion.cmake
  DESTINATION ${NEROLIN_CMAKE_DIR})

# The pkg-config file finds the prefix from where it lies, so the tree may
# be installed anywhere (`cmake --install build --prefix DIR`).
file(RELATIVE_PATH NEROLIN_PC_TO_PREFIX
  ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
if(BUILD_SHARED_LIBS)
  set(NEROLIN_PC_PRIVATE "")
elseif(NEROLIN_WITH_PRINTING)
  set(NEROLIN_PC_PRIVATE "Requires.private: sqlite3 libcurl libxml-2.0 libpcre2-8 libqrencode icu-uc icu-i18n odbc x11
Libs.private: -lcups")
else()
  set(NEROLIN_PC_PRIVATE "Requires.private: sqlite3 libcurl libxml-2.0 libpcre2-8 libqrencode icu-uc icu-i18n odbc")
endif()
configure_file(${PROJECT_SOURCE_DIR}/cmake/nerolin-html-report.pc.in
  ${PROJECT_BINARY_DIR}/nerolin-html-report.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/nerolin-html-report.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME nerolin-html-report)
set(CPACK_PACKAGE_VENDOR "NerolinHTMLReport developers")
set(CPACK_PACKAGE_CONTACT "NerolinHTMLReport developers <nerolin@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "HTML report engine for Mexican invoices: templates filled from SQL rows, printed or saved as PDF")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
# Programs the engine runs rather than links; a render-only build runs only
# the desktop's opener.
if(NEROLIN_WITH_PRINTING)
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "chromium, cups-client, xdg-utils")
else()
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
endif()
# The ODBC drivers of the servers a host may keep its data on.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "odbc-postgresql, tdsodbc")
include(CPack)
