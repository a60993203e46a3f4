# SPDX-License-Identifier: MIT
# Installing Cavewing as a desktop game, and packaging it as a .deb for Debian 12.
include(GNUInstallDirs)

set(CAVEWING_APP_ID org.cavewing.Cavewing)

# A game goes into games/ beside bin/, as Debian keeps games (/usr/games, /usr/local/games, both on
# every player's PATH there). -DCAVEWING_BINDIR=bin puts it into bin/ instead (say under ~/.local).
set(CAVEWING_BINDIR games CACHE STRING "Folder under the prefix that receives the program")
install(TARGETS cavewing RUNTIME DESTINATION ${CAVEWING_BINDIR})
install(FILES data/${CAVEWING_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES data/${CAVEWING_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# Man pages are installed compressed, as Debian keeps them.
set(man_page ${CMAKE_BINARY_DIR}/cavewing.6.gz)
add_custom_command(OUTPUT ${man_page}
  COMMAND gzip -9nc ${CMAKE_SOURCE_DIR}/data/cavewing.6 > ${man_page}
  DEPENDS ${CMAKE_SOURCE_DIR}/data/cavewing.6 VERBATIM)
add_custom_target(man_page ALL DEPENDS ${man_page})
install(FILES ${man_page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)

# The licence in the machine-readable form distributions read, and the changelog compressed.
set(changelog ${CMAKE_BINARY_DIR}/changelog.gz)
add_custom_command(OUTPUT ${changelog}
  COMMAND gzip -9nc ${CMAKE_SOURCE_DIR}/data/changelog > ${changelog}
  DEPENDS ${CMAKE_SOURCE_DIR}/data/changelog VERBATIM)
add_custom_target(changelog ALL DEPENDS ${changelog})
install(FILES data/copyright ${changelog} DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The icon in the hicolor theme. Each size has its own hand-tuned picture in assets/; a size
# without one is scaled down from the 256-pixel icon at build time.
set(icon_files)
foreach(size 16 22 32 48 64 128 256)
  set(icon ${CMAKE_SOURCE_DIR}/assets/icon-${size}.png)
  if(size EQUAL 256)
    set(icon ${CMAKE_SOURCE_DIR}/assets/icon.png)
  elseif(NOT EXISTS ${icon})
    set(icon ${CMAKE_BINARY_DIR}/icons/icon-${size}.png)
    add_custom_command(OUTPUT ${icon}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/icons
      COMMAND /usr/bin/convert ${CMAKE_SOURCE_DIR}/assets/icon.png -filter Lanczos
              -resize ${size}x${size} ${icon}
      DEPENDS ${CMAKE_SOURCE_DIR}/assets/icon.png VERBATIM)
    list(APPEND icon_files ${icon})
  endif()
  install(FILES ${icon} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME ${CAVEWING_APP_ID}.png)
endforeach()
if(icon_files)
  add_custom_target(scaled_icons ALL DEPENDS ${icon_files})
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME cavewing)
set(CPACK_PACKAGE_VENDOR "The Cavewing developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "arcade game: keep a helicopter aloft in an endless cave")
# Lines short enough for package managers to show as they are.
set(CPACK_PACKAGE_DESCRIPTION "A helicopter flies through a cave that scrolls from right to left:
hold the left mouse button to climb, let go to fall. The cave narrows as the
flight goes on, and the best fifteen flights go into the high-score list.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The Cavewing developers <games@cavewing.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the program links, as dpkg-shlibdeps finds them on the build machine (Debian 12).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Fonts are found at run time, so no library names them: Liberation Sans keeps Arial's metrics
# (the layout depends on them); DejaVu Sans and Comic Neue stand in for Verdana and Comic Sans.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation | fonts-liberation2")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-dejavu-core, fonts-comic-neue")
include(CPack)

# The score server beside the game, its manual page, and its systemd unit (installed disabled),
# which names the program where this installation puts it.
if(TARGET cavewing-server)
  install(TARGETS cavewing-server RUNTIME DESTINATION ${CAVEWING_BINDIR})
  set(server_man_page ${CMAKE_BINARY_DIR}/cavewing-server.6.gz)
  add_custom_command(OUTPUT ${server_man_page}
    COMMAND gzip -9nc ${CMAKE_SOURCE_DIR}/data/cavewing-server.6 > ${server_man_page}
    DEPENDS ${CMAKE_SOURCE_DIR}/data/cavewing-server.6 VERBATIM)
  add_custom_target(server_man_page ALL DEPENDS ${server_man_page})
  install(FILES ${server_man_page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
  install(CODE "
    file(READ \"${CMAKE_SOURCE_DIR}/data/cavewing-server.service\" unit)
    string(REPLACE @BINDIR@ \"\${CMAKE_INSTALL_PREFIX}/${CAVEWING_BINDIR}\" unit \"\${unit}\")
    file(WRITE \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/lib/systemd/system/cavewing-server.service\"
         \"\${unit}\")")
endif()
