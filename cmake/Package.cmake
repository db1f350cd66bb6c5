# The Debian package (CPack's DEB generator): `cmake --build BUILD --target package` writes
# BUILD/tatview_<version>_<arch>.deb from the install rules of the folders (the programs, the
# desktop entry and icons, the manual pages, tatcard's bash completion) and the package's own
# documents here (copyright, changelog). The version is the project's (project() in the
# top-level CMakeLists.txt), the same one the programs print with --version.
include(GNUInstallDirs)

# Debian wants the copyright file and the changelog in /usr/share/doc/<package>/, the changelog
# gzip'd (-n: no name or time stamp, so that the same sources give the same bytes) and named
# changelog.gz, as in a package made by its own authors (a version without a Debian revision).
# The changelog's newest entry carries the project's version.
set(TATV_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/tatview)
configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.in
    ${PROJECT_BINARY_DIR}/packaging/changelog @ONLY)
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/packaging/changelog.gz
    COMMAND gzip -9nkf ${PROJECT_BINARY_DIR}/packaging/changelog
    DEPENDS ${PROJECT_BINARY_DIR}/packaging/changelog
    COMMENT "Compressing the package's changelog")
add_custom_target(tatv_package_docs ALL DEPENDS ${PROJECT_BINARY_DIR}/packaging/changelog.gz)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright DESTINATION ${TATV_DOC_DIR})
install(FILES ${PROJECT_BINARY_DIR}/packaging/changelog.gz DESTINATION ${TATV_DOC_DIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tatview)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "tatview dev <dev@tatview.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "viewer for the recordings of two-camera dash cameras")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "tatview plays the front and rear recordings of a dash camera's SD card, or
of a folder of ordinary dash-cam video files, side by side with their sound,
and shows the time, the speed, a three-axis G-sensor graph and the car's route
on a map. It saves snapshots, exports recordings to AVI and incident clips to
MP4 with an evidence record, and edits the camera's settings file.
.
The package holds the window (varnelplayer), the command-line companion for
cards (tatcard, with tatcard-media for the commands that code and decode
pictures) and aviinfo, a look inside exported AVI files.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries come from the programs (dpkg-shlibdeps); the rest is read at run time: the
# clip overlay's font (DejaVu Sans), the Korean texts' font, the map library and Qt's SQLite
# driver (a plugin, which dpkg-shlibdeps does not see; it reads local MBTiles map files).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "fonts-dejavu-core, fonts-nanum, libjs-leaflet, libqt6sql6-sqlite")
set(CPACK_STRIP_FILES ON)
# Folders 0755 and control files 0644/0755 whatever the builder's umask.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
