# Installation rules, the install check and the Debian package.
#   cmake --install build/<tree> [--prefix /usr]   (or DESTDIR=<root> ...)
#   bash scripts/package.sh                         builds build/gpsupdate_<version>_<arch>.deb
# Included at the end of the top CMakeLists.txt, when every target exists:
# each program is installed only when this tree builds it.
include(GNUInstallDirs)
include(${CMAKE_CURRENT_LIST_DIR}/Version.cmake)

set(gps_packaging_dir ${PROJECT_SOURCE_DIR}/packaging)

# The programs: the window, the automation runner, the simulated unit and the
# data file tool.
set(gps_installed_programs)
foreach(program gpsupdate gpsupdate-auto gpsupdate-station gpsupdate-history gpsunit-sim
        apdtool)
    if(TARGET ${program})
        install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
        list(APPEND gps_installed_programs ${program})
    endif()
endforeach()

# The desktop's menu entry, the data file type and the icon, for the window
# on Linux desktops.
if(TARGET gpsupdate AND UNIX)
    install(FILES ${gps_packaging_dir}/gpsupdate.desktop
            DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    # The data file type (*.apd), which the desktop entry opens.
    install(FILES ${gps_packaging_dir}/gpsupdate-apd.xml
            DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME gpsupdate.xml)
    install(FILES ${gps_packaging_dir}/icons/gpsupdate.svg
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
    install(DIRECTORY ${gps_packaging_dir}/icons/hicolor/
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor
            FILES_MATCHING PATTERN "*.png")
endif()
if(TARGET gpsupdate-history AND UNIX)
    install(FILES ${gps_packaging_dir}/gpsupdate-history.desktop
            DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
endif()
# The update station's own entry (same icon).
if(TARGET gpsupdate-station AND UNIX)
    install(FILES ${gps_packaging_dir}/gpsupdate-station.desktop
            DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
endif()

install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
# The pages the README links to, beside it.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs DESTINATION ${CMAKE_INSTALL_DOCDIR} FILES_MATCHING PATTERN "*.md")

# The install check: installs this tree into a temporary root and fails when
# a file is missing or an installed program does not answer --version.
if(GPSUPDATE_TESTS AND UNIX)
    set(gps_install_check_args ${CMAKE_BINARY_DIR} ${PROJECT_VERSION})
    if(TARGET gpsupdate)
        list(APPEND gps_install_check_args --desktop)
    endif()
    add_test(NAME install_tree
             COMMAND bash ${gps_packaging_dir}/check-install.sh ${gps_install_check_args}
                     ${gps_installed_programs})
    set_tests_properties(install_tree PROPERTIES LABELS install TIMEOUT 120)
endif()

# The Debian package (scripts/package.sh). Its dependencies on the Qt and C++
# runtime libraries are read from the programs by dpkg-shlibdeps.
if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
    set(CPACK_GENERATOR DEB)
    set(CPACK_PACKAGE_NAME gpsupdate)
    set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
    set(CPACK_PACKAGE_VENDOR "gpsupdate")
    set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
        "Writes a new data set into a vehicle GPS warning unit over a serial cable")
    set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
        "Writes a new data set into a vehicle GPS warning unit over a serial cable
 gpsupdate is the operator's window: it loads an update data file (.apd),
 finds the unit on a serial port and writes the data set into it.
 gpsupdate-auto runs the same update without an operator, gpsupdate-station
 updates several units at once (one serial port each), gpsunit-sim is a
 simulated unit on a pseudo-terminal and apdtool packs and inspects data files.
 gpsupdate-history shows, lists and exports the record of every run.")
    set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
    set(CPACK_STRIP_FILES ON)
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_MAINTAINER "gpsupdate maintainers <maintainers@gpsupdate.invalid>")
    set(CPACK_DEBIAN_PACKAGE_SECTION utils)
    set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    # Loaded at run time, so no library link shows them: the Traditional
    # Chinese font of the texts and Qt's platform plugins (xcb, wayland).
    set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk, qt6-qpa-plugins")
    # Also loaded at run time: Qt's own texts (box buttons, the file dialog)
    # in Traditional Chinese, and the history's SQLite driver, a Qt SQL
    # plug-in.
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-translations-l10n, libqt6sql6-sqlite")
    # The station's result sounds play through a PulseAudio server (a
    # desktop's PipeWire serves as one); without one the station is silent.
    set(CPACK_DEBIAN_PACKAGE_SUGGESTS "pipewire-pulse | pulseaudio")
    include(CPack)
endif()
