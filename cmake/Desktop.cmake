# What makes Zarvello an installed desktop program: its icon (drawn once as SVG,
# rendered to PNGs here), menu entry, software-centre metadata, manual page,
# and the Debian package built from the same install rules.
include(GNUInstallDirs)

find_program(RSVG_CONVERT rsvg-convert REQUIRED)
find_program(GZIP gzip REQUIRED)

set(ZARVELLO_ICON_SIZES 16 24 32 48 64 128 256)
set(icon_svg ${CMAKE_CURRENT_SOURCE_DIR}/data/zarvello.svg)
set(icon_dir ${CMAKE_CURRENT_BINARY_DIR}/icons)
set(icon_pngs)
foreach(size IN LISTS ZARVELLO_ICON_SIZES)
    set(png ${icon_dir}/${size}.png)
    add_custom_command(OUTPUT ${png}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${icon_dir}
        COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${icon_svg}
        DEPENDS ${icon_svg} VERBATIM)
    list(APPEND icon_pngs ${png})
    install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME ${ZARVELLO_APP_ID}.png)
endforeach()
# Every window takes its icon from these, at whatever size the desktop asks for.
qt_add_resources(zarvello_core zarvello_icons PREFIX /icons BASE ${icon_dir} FILES ${icon_pngs})
install(FILES ${icon_svg} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME ${ZARVELLO_APP_ID}.svg)

configure_file(data/zarvello.desktop.in ${ZARVELLO_APP_ID}.desktop @ONLY)
configure_file(data/zarvello.metainfo.xml.in ${ZARVELLO_APP_ID}.metainfo.xml @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${ZARVELLO_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${ZARVELLO_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# Debian wants compressed manual pages and changelogs, reproducibly (no name or time inside).
set(man_gz ${CMAKE_CURRENT_BINARY_DIR}/zarvello.1.gz)
set(changelog_gz ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz)
add_custom_command(OUTPUT ${man_gz}
    COMMAND ${GZIP} -9nc ${CMAKE_CURRENT_SOURCE_DIR}/data/zarvello.1 > ${man_gz}
    DEPENDS data/zarvello.1)
add_custom_command(OUTPUT ${changelog_gz}
    COMMAND ${GZIP} -9nc ${CMAKE_CURRENT_SOURCE_DIR}/data/changelog > ${changelog_gz}
    DEPENDS data/changelog)
add_custom_target(zarvello_docs ALL DEPENDS ${man_gz} ${changelog_gz})
install(FILES ${man_gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES README.md LICENSE data/copyright ${changelog_gz}
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/zarvello)

install(TARGETS zarvello RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zarvello)
set(CPACK_PACKAGE_VENDOR "The Zarvello developers")
set(CPACK_PACKAGE_CONTACT "The Zarvello developers <zarvello-dev@example.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://example.org/zarvello)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Libraries come from the binary; the fonts that stand in for the layouts' fonts do not.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "${ZARVELLO_FONT_PACKAGES}")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "network meter in a small always-on-top window and the tray
Zarvello reads the kernel's interface counters once a second and shows the
bytes in and out per second, averaged over three seconds, the running totals
and the peak rate, as text and two gradient bars in a small window that stays
on top, and as a bar drawn inside its tray icon. It snaps to the screen edges,
can hide from the task bar, and keeps its options between runs.")
include(CPack)
