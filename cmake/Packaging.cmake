# `cpack -G DEB` in a build tree gives a Debian package of what `cmake --install` installs;
# scripts/check-package holds it to lintian.
include(GNUInstallDirs)

set(CPACK_PACKAGE_NAME tessaril)
set(CPACK_PACKAGE_VENDOR "Tessaril-Entwickler")
set(CPACK_PACKAGE_CONTACT "Tessaril-Entwickler <tessaril@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Konvertiert alte Velmora-Kataloge in das Format 4.x")
set(CPACK_PACKAGE_DESCRIPTION
    "Tessaril liest einen Katalog im alten Textformat mit festen Spalten
(Version 1.0 bis 3.x) und schreibt ihn als binäre Satzdatei der Version 4.x.
Ein Fenster nimmt die Pfade der alten und der neuen Katalogdatei auf, ergänzt
sie beim Tippen und nimmt Dateien aus dem Dateimanager an; eine Meldung nennt
das Ergebnis oder den Fehler mit Code und Beschreibung.

Die neue Datei wird erst ersetzt, wenn jeder Satz geschrieben ist. Ein kleiner
Beispielkatalog liegt in /usr/share/doc/tessaril/beispiel.")
set(CPACK_PACKAGE_INSTALL_DIRECTORY tessaril)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
set(CPACK_TESSARIL_STRIP ${CMAKE_STRIP})
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/StripLikeDebian.cmake)
# Control files 0644 and installed folders 0755, whatever the umask of whoever builds it.
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
    GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
# The window needs a platform plugin, which no linked library names.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
find_program(TESSARIL_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(TESSARIL_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS ", libqt6widgets6, libqt6gui6, libqt6core6")
endif()
include(CPack)

# Debian keeps a package's change log and manual pages compressed, without name or time stamp.
find_program(TESSARIL_GZIP gzip REQUIRED)
set(tessaril_gzipped)
file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/packaging)
foreach(file IN ITEMS packaging/changelog man/tessaril.1)
  get_filename_component(name ${file} NAME)
  set(gzipped ${PROJECT_BINARY_DIR}/packaging/${name}.gz)
  add_custom_command(
    OUTPUT ${gzipped}
    COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/${file} ${PROJECT_BINARY_DIR}/packaging/${name}
    COMMAND ${TESSARIL_GZIP} -9nf ${PROJECT_BINARY_DIR}/packaging/${name}
    DEPENDS ${PROJECT_SOURCE_DIR}/${file}
    VERBATIM
  )
  list(APPEND tessaril_gzipped ${gzipped})
endforeach()
add_custom_target(tessaril_gzipped_docs ALL DEPENDS ${tessaril_gzipped})

set(tessaril_doc_dir ${CMAKE_INSTALL_DATADIR}/doc/tessaril)
install(FILES packaging/copyright ${PROJECT_BINARY_DIR}/packaging/changelog.gz
        DESTINATION ${tessaril_doc_dir})
install(FILES ${PROJECT_BINARY_DIR}/packaging/tessaril.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES packaging/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
        RENAME tessaril)
