# Installation and the Debian package: the three programs, a desktop entry and the icon.
include(GNUInstallDirs)
foreach(program image-downloader imgdl recorder-sim)
    if(TARGET ${program})
        install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    endif()
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/src/res/image-downloader.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/src/res/icons/image-downloader.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

set(CPACK_PACKAGE_NAME image-downloader)
set(CPACK_PACKAGE_VENDOR "Image Downloader developers")
set(CPACK_PACKAGE_CONTACT "Image Downloader developers <maintainers@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Writes firmware, PTZ images and unit identities into video recorders")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Dependencies come from the shared libraries the programs link (dpkg-shlibdeps),
# plus fonts the dialogs need to render their texts.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation, fonts-nanum, qt6-qpa-plugins, libqt6svg6")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
