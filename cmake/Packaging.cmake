# Installation and the Debian package: the three programs, the desktop entry, its
# AppStream metadata and the icon at the sizes the hicolor theme looks up.
include(GNUInstallDirs)
set(imgdl_app_id io.github.imgdl.ImageDownloader)
set(imgdl_res ${PROJECT_SOURCE_DIR}/src/res)
foreach(program image-downloader imgdl recorder-sim)
    if(TARGET ${program})
        install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    endif()
endforeach()
install(FILES ${imgdl_res}/${imgdl_app_id}.desktop ${imgdl_res}/image-downloader-line.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${imgdl_res}/${imgdl_app_id}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${imgdl_res}/icons/image-downloader.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
# The PNGs are rendered from the SVG by scripts/render-icons and committed.
foreach(size 16 22 24 32 48 64 128 256)
    install(FILES ${imgdl_res}/icons/${size}x${size}/image-downloader.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()

# Debian's documentation files and lintian's overrides.
set(debian_src ${CMAKE_CURRENT_LIST_DIR}/debian)
set(debian_doc share/doc/image-downloader)
# The version has no Debian revision (the project packages itself), so lintian
# expects the native name changelog.gz. -n keeps the time stamp out: same bytes each build.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${debian_src}/changelog)
execute_process(COMMAND gzip -9n -c ${debian_src}/changelog
                OUTPUT_FILE ${CMAKE_BINARY_DIR}/changelog.gz COMMAND_ERROR_IS_FATAL ANY)
install(FILES ${debian_src}/copyright ${CMAKE_BINARY_DIR}/changelog.gz
        DESTINATION ${debian_doc})
install(FILES ${debian_src}/lintian-overrides RENAME image-downloader
        DESTINATION share/lintian/overrides)

set(CPACK_PACKAGE_NAME image-downloader)
set(CPACK_PACKAGE_VENDOR "Image Downloader developers")
set(CPACK_PACKAGE_CONTACT "Image Downloader maintainers <maintainers@imgdl.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "writes firmware and PTZ images into video recorders")
# Debian's extended description; CPack puts the summary above it and indents it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Image Downloader is the tool with which a service technician writes firmware
and configuration into a digital video recorder over the local network:
application images (after the recorder has accepted their firmware version),
PTZ images, integrated images with the unit's MAC address and serial number
patched in, and the MAC address and serial number alone.

The package holds the dialog program with its PTZ protocol tools, imgdl, which
does the same from the command line, and recorder-sim, a recorder simulator to
try everything without a unit.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
# Directories 0755 and files 0644 whatever the umask of the build.
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
# Library dependencies come from dpkg-shlibdeps. Listed by hand are only what the
# programs load at run time without linking it: Qt's platform plugins (xcb), the SVG
# image plugin for the window icon, the fonts the dialogs' texts are set in, and libpq and
# libsqlite3, which the ledger opens with dlopen only for a ledger of their kind.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "fonts-liberation, fonts-nanum, qt6-qpa-plugins, libqt6svg6, libpq5, libsqlite3-0")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
