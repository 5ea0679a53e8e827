# Installing: executables in bin/, help in share/lumora/, the desktop entry,
# icon and metainfo where desktops look for them, manual pages, the bash
# completion of lumora-cli and the examples in share/doc/lumora/examples (the
# Python package installs itself: python/CMakeLists.txt); `make deb` packs the
# same tree with CPack.
include(GNUInstallDirs)
set(LUMORA_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/lumora)

install(TARGETS lumora lumora-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/help/ DESTINATION ${CMAKE_INSTALL_DATADIR}/lumora/help)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/lumora.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/lumora.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/org.lumora.Lumora.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/lumora-cli.bash-completion
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME lumora-cli)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright DESTINATION ${LUMORA_DOCDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/examples/ DESTINATION ${LUMORA_DOCDIR}/examples)
# Debian wants the change log compressed, without a time stamp.
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/changelog.gz
  COMMAND gzip -9n -c ${PROJECT_SOURCE_DIR}/packaging/changelog > ${PROJECT_BINARY_DIR}/changelog.gz
  DEPENDS ${PROJECT_SOURCE_DIR}/packaging/changelog)
add_custom_target(changelog ALL DEPENDS ${PROJECT_BINARY_DIR}/changelog.gz)
install(FILES ${PROJECT_BINARY_DIR}/changelog.gz DESTINATION ${LUMORA_DOCDIR})

# Manual pages from the programs' own --help and --version; lumora-cli's page
# adds every command's --help.
find_program(HELP2MAN help2man)
if(HELP2MAN)
  set(man_pages)
  set(LUMORA_MAN_INCLUDE_lumora-cli ${PROJECT_BINARY_DIR}/man/lumora-cli-commands.h2m)
  add_custom_command(OUTPUT ${LUMORA_MAN_INCLUDE_lumora-cli}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
    COMMAND ${CMAKE_COMMAND} -DCLI=$<TARGET_FILE:lumora-cli> -DOUT=${LUMORA_MAN_INCLUDE_lumora-cli}
            -P ${PROJECT_SOURCE_DIR}/cmake/ManCommands.cmake
    DEPENDS lumora-cli ${PROJECT_SOURCE_DIR}/cmake/ManCommands.cmake
    VERBATIM)
  set(LUMORA_MAN_NAME_lumora "diffraction reflections of quasicrystals (window)")
  set(LUMORA_MAN_NAME_lumora-cli "diffraction reflections of quasicrystals (command line)")
  foreach(program lumora lumora-cli)
    set(page ${PROJECT_BINARY_DIR}/man/${program}.1)
    set(include)
    if(LUMORA_MAN_INCLUDE_${program})
      set(include --include=${LUMORA_MAN_INCLUDE_${program}})
    endif()
    add_custom_command(OUTPUT ${page}.gz
      COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
      COMMAND ${HELP2MAN} --no-info --no-discard-stderr --section=1 ${include}
              --name=${LUMORA_MAN_NAME_${program}} --output=${page} $<TARGET_FILE:${program}>
      COMMAND gzip -9nf ${page}
      DEPENDS ${program} ${LUMORA_MAN_INCLUDE_${program}}
      VERBATIM)
    list(APPEND man_pages ${page}.gz)
  endforeach()
  add_custom_target(man_pages ALL DEPENDS ${man_pages})
  install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
  message(STATUS "help2man not found: no manual pages")
endif()

# The Debian package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lumora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Lumora developers <dev@lumora.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "diffraction reflections of quasicrystals")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Lumora treats a quasicrystal as a periodic lattice in five or six\ndimensions and lists its diffraction reflections as a report, a zero-layer\nplot and a rotatable 3D plot. It also builds quasiperiodic rhombus tilings\nand shows the Fourier transform of their vertices. lumora-cli does the\nsame calculations for scripts, and the Python package lumora gives them\nas numpy arrays.")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# "import lumora" needs Debian's python3 and numpy; the programs do not.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "python3, python3-numpy")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
