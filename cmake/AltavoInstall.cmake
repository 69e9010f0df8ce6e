# cmake --install and the .deb package: the three programs in bin/, the files
# the program looks for in share/altavo-view/ (CDataFiles), and the desktop
# entry, icons and AppStream metadata under share/.
include(GNUInstallDirs)

set(ALTAVO_APP_ID com.veltrionnorvane.AltavoView)
set(ALTAVO_DATA_DIR ${CMAKE_INSTALL_DATADIR}/altavo-view)
set(ALTAVO_PACKAGING ${PROJECT_SOURCE_DIR}/packaging)

foreach(program altavo-view altavo-cli altavo-sim)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

install(FILES
  ${PROJECT_SOURCE_DIR}/src/resources/help.rtf
  ${PROJECT_SOURCE_DIR}/src/resources/boardtest/PCBTest.ini
  ${PROJECT_SOURCE_DIR}/src/resources/firmware/flashtst.hex
  ${PROJECT_SOURCE_DIR}/src/resources/firmware/mustprog.hex
  DESTINATION ${ALTAVO_DATA_DIR})

if(TARGET altavo-view)
  install(FILES ${ALTAVO_PACKAGING}/${ALTAVO_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${ALTAVO_PACKAGING}/${ALTAVO_APP_ID}.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  install(FILES ${ALTAVO_PACKAGING}/${ALTAVO_APP_ID}.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps)
  configure_file(${ALTAVO_PACKAGING}/${ALTAVO_APP_ID}.metainfo.xml ${PROJECT_BINARY_DIR}/packaging/${ALTAVO_APP_ID}.metainfo.xml @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/packaging/${ALTAVO_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
endif()

# Debian wants its copyright file and a compressed changelog in the package's
# documentation folder.
set(ALTAVO_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/altavo-view)
configure_file(${ALTAVO_PACKAGING}/changelog ${PROJECT_BINARY_DIR}/packaging/changelog @ONLY)
find_program(GZIP_PROGRAM gzip)
if(GZIP_PROGRAM)
  # Compressed without a time stamp, so that two builds give the same bytes.
  set(compressed ${PROJECT_BINARY_DIR}/packaging/changelog.gz)
  add_custom_command(OUTPUT ${compressed}
    COMMAND ${GZIP_PROGRAM} -9nc ${PROJECT_BINARY_DIR}/packaging/changelog > ${compressed}
    DEPENDS ${PROJECT_BINARY_DIR}/packaging/changelog)
  install(FILES ${compressed} DESTINATION ${ALTAVO_DOC_DIR})
  foreach(program altavo-view altavo-cli altavo-sim)
    if(TARGET ${program})
      set(page ${PROJECT_BINARY_DIR}/packaging/${program}.1.gz)
      add_custom_command(OUTPUT ${page}
        COMMAND ${GZIP_PROGRAM} -9nc ${ALTAVO_PACKAGING}/${program}.1 > ${page}
        DEPENDS ${ALTAVO_PACKAGING}/${program}.1)
      list(APPEND compressed ${page})
      install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    endif()
  endforeach()
  add_custom_target(altavo-packaging-files ALL DEPENDS ${compressed})
endif()
install(FILES ${ALTAVO_PACKAGING}/copyright DESTINATION ${ALTAVO_DOC_DIR})

# ---------------------------------------------------------------------------
# The .deb (cpack -G DEB in the build folder; scripts/package).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME altavo-view)
set(CPACK_PACKAGE_VENDOR "Veltrion Norvane")
set(CPACK_PACKAGE_CONTACT "Altavo View developers <altavo-view@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "service program for the portable multi-gas detector")
# The summary is the synopsis line; this is the extended description under it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Altavo View reads and edits the settings of a portable multi-gas detector
over a serial line or a network gateway, shows its live readings, retrieves
its data log, programs its flash and tests bare boards. The package holds
the windowed program altavo-view, altavo-cli for scripts and production
lines, and altavo-sim, a simulated instrument.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.veltrion-norvane.example/altavo-view")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# The libraries the programs link (Qt, QCustomPlot, the C++ runtime) come
# from dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What shlibdeps cannot see because it is loaded at run time: Qt's platform
# plugins for the windows.
set(ALTAVO_DEB_PLUGIN_DEPENDS qt6-qpa-plugins)
# The Qt SQL drivers of the instrument history, loaded as plugins too: the
# SQLite one holds the default history, the PostgreSQL one a shared one.
set(ALTAVO_DEB_SQL_DEPENDS libqt6sql6-sqlite libqt6sql6-psql)
string(JOIN ", " CPACK_DEBIAN_PACKAGE_DEPENDS ${ALTAVO_DEB_PLUGIN_DEPENDS} ${ALTAVO_DEB_SQL_DEPENDS})
include(CPack)
