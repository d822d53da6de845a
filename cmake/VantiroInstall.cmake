# Installation (cmake --install) and the Debian package (cpack): the two programs, the menu entry with its
# AppStream metainfo, the icon as SVG and PNG sizes, the manual pages, the changelog and the copyright file.
# An installed copy keeps its files in the user's data folder, as it finds its menu entry beside its bin folder.
include(GNUInstallDirs)

set(VANTIRO_DESKTOP_ID org.vantiro.Vantiro)
set(VANTIRO_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)
set(VANTIRO_MAINTAINER "Vantiro developers <developers@vantiro.org>")

# The changelog's newest entry names the release: its version must be the project's, and its date is the
# release date that the metainfo and the manual pages show. A version raised without an entry stops here.
file(STRINGS ${VANTIRO_PACKAGING_DIR}/changelog changelog_lines)
list(GET changelog_lines 0 changelog_head)
if(NOT changelog_head MATCHES "^vantiro \\(([^)]+)\\)")
    message(FATAL_ERROR "packaging/changelog does not start with an entry \"vantiro (VERSION) ...\"")
endif()
if(NOT CMAKE_MATCH_1 VERSION_EQUAL PROJECT_VERSION)
    message(FATAL_ERROR "packaging/changelog's newest entry is ${CMAKE_MATCH_1}, the project is ${PROJECT_VERSION}: "
                        "add an entry for ${PROJECT_VERSION}")
endif()
list(FILTER changelog_lines INCLUDE REGEX "^ -- ")
list(GET changelog_lines 0 changelog_trailer)
if(NOT changelog_trailer MATCHES ", ([0-9][0-9]) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9]) ")
    message(FATAL_ERROR "packaging/changelog's newest entry has no date: ${changelog_trailer}")
endif()
set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
list(FIND months ${CMAKE_MATCH_2} month)
math(EXPR month "${month} + 1" OUTPUT_FORMAT DECIMAL)
if(month LESS 10)
    set(month 0${month})
endif()
set(VANTIRO_RELEASE_DATE ${CMAKE_MATCH_3}-${month}-${CMAKE_MATCH_1})

install(TARGETS vantiro vantiro-displays vantiro-send RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Helper programs, not on PATH: what vantiro --background becomes, and the whole vantiro-send, which its quick
# start becomes for all but a send through a running copy.
install(TARGETS vantiro-background vantiro-send-full RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/vantiro)
install(FILES ${VANTIRO_PACKAGING_DIR}/${VANTIRO_DESKTOP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
configure_file(${VANTIRO_PACKAGING_DIR}/${VANTIRO_DESKTOP_ID}.metainfo.xml
               ${CMAKE_BINARY_DIR}/packaging/${VANTIRO_DESKTOP_ID}.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/packaging/${VANTIRO_DESKTOP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${VANTIRO_PACKAGING_DIR}/${VANTIRO_DESKTOP_ID}.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# The systemd user unit that runs the schedule in the background; enabled by each user who wants it, never by the
# package. User units live under lib/ whatever the architecture's library folder is. The unit names the program
# where it is installed, which only the installation knows (cmake --install --prefix, the package's /usr).
install(CODE "
    file(READ \"${VANTIRO_PACKAGING_DIR}/vantiro.service.in\" unit)
    string(REPLACE \"@VANTIRO_INSTALLED_PROGRAM@\" \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/vantiro\"
           unit \"\${unit}\")
    file(WRITE \"${CMAKE_BINARY_DIR}/packaging/vantiro.service\" \"\${unit}\")
")
install(FILES ${CMAKE_BINARY_DIR}/packaging/vantiro.service DESTINATION lib/systemd/user)

# The PNG sizes are rendered from the SVG, so the two never drift apart.
find_program(VANTIRO_RSVG_CONVERT rsvg-convert)
if(VANTIRO_RSVG_CONVERT)
    set(icon_pngs)
    foreach(size 16 24 32 48 64 128 256)
        set(png ${CMAKE_BINARY_DIR}/packaging/icons/${size}/${VANTIRO_DESKTOP_ID}.png)
        add_custom_command(OUTPUT ${png}
            COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging/icons/${size}
            COMMAND ${VANTIRO_RSVG_CONVERT} -w ${size} -h ${size} -o ${png}
                    ${VANTIRO_PACKAGING_DIR}/${VANTIRO_DESKTOP_ID}.svg
            DEPENDS ${VANTIRO_PACKAGING_DIR}/${VANTIRO_DESKTOP_ID}.svg
            VERBATIM)
        list(APPEND icon_pngs ${png})
        install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
    endforeach()
    add_custom_target(vantiro_icons ALL DEPENDS ${icon_pngs})
else()
    message(STATUS "rsvg-convert not found: only the SVG icon is installed (the scripts install librsvg2-bin)")
endif()

# Debian wants its documents compressed, and reproducibly: no name or time stamp in the gzip header.
if(UNIX)
    find_program(VANTIRO_GZIP gzip REQUIRED)
    set(compressed_docs)
    function(vantiro_gzip source target)
        add_custom_command(OUTPUT ${target}
            COMMAND ${VANTIRO_GZIP} -9 -n -c ${source} > ${target}
            DEPENDS ${source})
        set(compressed_docs ${compressed_docs} ${target} PARENT_SCOPE)
    endfunction()

    # Every manual page in packaging/man, with the release's version and date filled in.
    file(GLOB man_pages CONFIGURE_DEPENDS ${VANTIRO_PACKAGING_DIR}/man/*.1)
    foreach(page ${man_pages})
        get_filename_component(name ${page} NAME)
        configure_file(${page} ${CMAKE_BINARY_DIR}/packaging/man/${name} @ONLY)
        vantiro_gzip(${CMAKE_BINARY_DIR}/packaging/man/${name} ${CMAKE_BINARY_DIR}/packaging/man/${name}.gz)
        install(FILES ${CMAKE_BINARY_DIR}/packaging/man/${name}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    endforeach()

    vantiro_gzip(${VANTIRO_PACKAGING_DIR}/changelog ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
    install(FILES ${CMAKE_BINARY_DIR}/packaging/changelog.gz ${VANTIRO_PACKAGING_DIR}/copyright
            DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/vantiro)
    add_custom_target(vantiro_docs ALL DEPENDS ${compressed_docs})
endif()

set(CPACK_PACKAGE_NAME vantiro)
set(CPACK_PACKAGE_VENDOR "Vantiro")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Switch and adjust flat-panel displays over RS-232 serial lines")
set(CPACK_PACKAGE_CONTACT "${VANTIRO_MAINTAINER}")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
# The summary above is the first line of the package's description; this is the rest.
set(CPACK_PACKAGE_DESCRIPTION
    "Vantiro sends power, mute, volume, input, channel and picture set-up commands
to LCD televisions and signage monitors over serial lines, at once or by a
calendar schedule, and keeps a daily log of what it sent.")
# The Qt run-time packages follow from the libraries the programs link (dpkg-shlibdeps).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The X11 platform plugin comes with Qt's GUI library; a Wayland session needs its own.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")
include(CPack)
