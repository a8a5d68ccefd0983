# What `cmake --install` puts under the prefix, and the Debian package that
# `cpack -G DEB` makes of the same files. drawclean finds the plug-in through
# CLEANUP_INSTALL_PLUGINDIR relative to its own folder, so both layouts agree.
if(TARGET drawclean)
  install(TARGETS drawclean RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(TARGETS cleanup LIBRARY DESTINATION ${CLEANUP_INSTALL_PLUGINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/include/cleanup/host_abi.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/cleanup)
configure_file(${PROJECT_SOURCE_DIR}/docs/drawclean.1.in ${PROJECT_BINARY_DIR}/drawclean.1 @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/drawclean.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/docs/RUNNER.md
              ${PROJECT_SOURCE_DIR}/runner/schema/drawing.schema.json
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/drawclean)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME drawclean)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})  # drawclean --version prints the same
set(CPACK_PACKAGE_CONTACT "Drawing clean-up team <drawclean@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "clean up drawings (ASCII DXF or JSON) with the drawing clean-up plug-in")
set(CPACK_PACKAGE_DESCRIPTION
    "drawclean runs the clean-up plug-in libcleanup.so over a drawing in its own host: flattening, removal of degenerate objects, point markers and duplicates, merging of overlaps, vertex clean-up, joining and vertex reduction. The package also carries the host interface header for other hosts.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
# Runtime dependencies from the binaries themselves when the Debian tools are
# there (dpkg-dev, file); otherwise what every C++ program here links.
find_program(CLEANUP_DPKG_SHLIBDEPS dpkg-shlibdeps)
find_program(CLEANUP_FILE_PROGRAM file)
mark_as_advanced(CLEANUP_DPKG_SHLIBDEPS CLEANUP_FILE_PROGRAM)
if(CLEANUP_DPKG_SHLIBDEPS AND CLEANUP_FILE_PROGRAM)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libstdc++6, libgcc-s1")
endif()
include(CPack)
