# SPDX-License-Identifier: MIT
# Packages made by CPack from what `cmake --install` installs. On Linux a .deb
# per program: varnoket-cli always, and varnoket (the desktop front end) when
# it is built, with their dependencies read from the executables by
# dpkg-shlibdeps. For Windows one .zip of both programs.
set(CPACK_PACKAGE_NAME varnoket)
set(CPACK_PACKAGE_VENDOR "Varnoket")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT
  "Varnoket maintainers <maintainers@users.noreply.c-seed-0d8074d8.example>")
set(CPACK_PACKAGE_DESCRIPTION [[
For every *.sgf file of a folder, Varnoket writes a cleaned record under
the same name: a fixed header, the game information, the handicap stones
and the main line of moves. Comments, markup, variations and the rest
are dropped; names in any code page pass through byte for byte.]])
set(CPACK_PACKAGE_CHECKSUM SHA256)
set(CPACK_STRIP_FILES ON)

set(CPACK_COMPONENT_CLI_DISPLAY_NAME "varnoket-cli")
set(CPACK_COMPONENT_CLI_DESCRIPTION "Command line: cleans whole collections from a terminal or a script.")
set(CPACK_COMPONENT_GUI_DISPLAY_NAME "Varnoket")
set(CPACK_COMPONENT_GUI_DESCRIPTION "Desktop program: one window with a source and a destination folder.")

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME varnoket-${PROJECT_VERSION}-win32)
  install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION . COMPONENT cli)
  install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt COMPONENT cli)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEB_COMPONENT_INSTALL ON)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_CLI_PACKAGE_NAME varnoket-cli)
  set(CPACK_DEBIAN_CLI_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_GUI_PACKAGE_NAME varnoket)
  set(CPACK_DEBIAN_GUI_PACKAGE_SECTION utils)
  # Qt's own translations, so that its dialogs speak the program's language;
  # the libraries come from the shared-library dependencies.
  set(CPACK_DEBIAN_GUI_PACKAGE_DEPENDS qt6-translations-l10n)
  # Each package carries the licence in Debian's machine-readable form and the
  # changelog, compressed as Debian's policy asks.
  include(GNUInstallDirs)
  set(changelog ${PROJECT_BINARY_DIR}/packaging/changelog.gz)
  add_custom_command(OUTPUT ${changelog}
    COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/cmake/packaging/changelog > ${changelog}
    DEPENDS ${PROJECT_SOURCE_DIR}/cmake/packaging/changelog
    COMMENT "Compressing the changelog")
  add_custom_target(varnoket-changelog ALL DEPENDS ${changelog})
  set(components cli)
  if(TARGET varnoket)
    list(APPEND components gui)
  endif()
  foreach(component ${components})
    string(TOUPPER ${component} upper)
    set(package ${CPACK_DEBIAN_${upper}_PACKAGE_NAME})
    install(FILES ${PROJECT_SOURCE_DIR}/cmake/packaging/copyright ${changelog}
      DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${component})
  endforeach()
  # Each package's first line says what it holds. (A summary for the whole
  # project would be put before it: CPACK_PACKAGE_DESCRIPTION_SUMMARY stays
  # unset.)
  set(CPACK_DEBIAN_CLI_DESCRIPTION
    "clean Go game records (SGF) from the command line\n${CPACK_PACKAGE_DESCRIPTION}")
  set(CPACK_DEBIAN_GUI_DESCRIPTION
    "clean Go game records (SGF) in a desktop window\n${CPACK_PACKAGE_DESCRIPTION}")
endif()

include(CPack)
