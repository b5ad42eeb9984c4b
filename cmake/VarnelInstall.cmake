# Everything `cmake --install` adds beyond the program and its data (which
# app/CMakeLists.txt installs), and the Debian package made from it by CPack.

# The project's libraries are shared (one runtime for the objects that cross
# them); they are the program's alone, so they go to a private folder with
# no development links, found through the program's relative RUNPATH.
set(_varnel_libraries textrion varnex utils)
if(VARNEL_BUILD_GUI)
  list(APPEND _varnel_libraries controls)
endif()
install(TARGETS ${_varnel_libraries} LIBRARY DESTINATION ${VARNEL_INSTALL_LIBDIR} NAMELINK_SKIP)

# Desktop integration: opens folders and text files in the window.
set(VARNEL_APP_ID com.quillmark.VarnelPro)
set(_desktop ${PROJECT_SOURCE_DIR}/data/desktop)
configure_file(${_desktop}/${VARNEL_APP_ID}.metainfo.xml ${PROJECT_BINARY_DIR}/${VARNEL_APP_ID}.metainfo.xml @ONLY)
install(FILES ${_desktop}/${VARNEL_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_BINARY_DIR}/${VARNEL_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${_desktop}/varnelpro.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# The package's version: the project's, Debian revision 1.
set(VARNEL_DEB_VERSION ${PROJECT_VERSION}-1)
set(_doc ${CMAKE_INSTALL_DATADIR}/doc/varnelpro)
configure_file(${PROJECT_SOURCE_DIR}/data/debian/changelog.Debian ${PROJECT_BINARY_DIR}/changelog.Debian @ONLY)
# gzip -n: no name or time in the header, so the package builds the same twice.
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/changelog.Debian.gz
  COMMAND gzip -9nc ${PROJECT_BINARY_DIR}/changelog.Debian > ${PROJECT_BINARY_DIR}/changelog.Debian.gz
  DEPENDS ${PROJECT_BINARY_DIR}/changelog.Debian VERBATIM)
add_custom_target(varnel_changelog ALL DEPENDS ${PROJECT_BINARY_DIR}/changelog.Debian.gz)
install(FILES ${PROJECT_SOURCE_DIR}/data/debian/copyright ${PROJECT_BINARY_DIR}/changelog.Debian.gz DESTINATION ${_doc})
install(FILES ${PROJECT_SOURCE_DIR}/data/debian/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
  RENAME varnelpro)

# cpack -G DEB (scripts/check-package.sh builds and tries it on a clean root).
set(CPACK_PACKAGE_NAME varnelpro)
set(CPACK_PACKAGE_VENDOR Quillmark)
set(CPACK_PACKAGE_CONTACT "Quillmark <varnelpro@quillmark.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "batch converter of text files to Unicode")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR}/textrion ${PROJECT_BINARY_DIR}/varnex
  ${PROJECT_BINARY_DIR}/utils ${PROJECT_BINARY_DIR}/controls)
# CPack puts the summary above this and indents it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Varnel Professional finds the text files of a folder tree, detects the code
page or Unicode form of each one (byte order marks, UTF-16 without a mark,
binary files, legacy code pages with a confidence value) and converts them
into UTF-8, UTF-16 or UTF-32 in an output folder that mirrors the input tree.
.
It has a desktop window for reviewing and correcting doubtful files and a
command-line mode (varnelpro -in=FOLDER -out=FOLDER) that runs without one.")
include(CPack)
