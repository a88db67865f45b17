# Installation away from Windows: a self-contained program folder
# <prefix>/lib/plimbury (the executable with its help page and icon beside it,
# as the program expects), <prefix>/bin/plimbury pointing at it, the
# freedesktop entries (desktop entry, icons, AppStream metainfo), the manual
# page, and the copyright file and changelog in share/doc/plimbury.
#   cmake --install <build> --prefix /usr/local
#   cpack -G DEB --config <build>/CPackConfig.cmake     (a Debian package)
set(PLIMBURY_APP_ID org.plimbury.Plimbury)
set(plimbury_program_folder lib/plimbury)
set(plimbury_linux ${PROJECT_SOURCE_DIR}/assets/linux)

# Debian's hardening flags bind every symbol at start, so that the whole
# relocation table can be made read-only (relro alone is the toolchain's
# default).
target_link_options(plimbury PRIVATE LINKER:-z,relro LINKER:-z,now)

install(TARGETS plimbury RUNTIME DESTINATION ${plimbury_program_folder})
# A stripped program (cpack, cmake --install --strip) also loses the
# compilers' version notes, as dh_strip does for Debian's own packages.
if(CMAKE_STRIP)
  string(CONFIGURE [[
    if(CMAKE_INSTALL_DO_STRIP)
      execute_process(COMMAND "@CMAKE_STRIP@" --remove-section=.comment --remove-section=.note
                              "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/@plimbury_program_folder@/plimbury"
                      COMMAND_ERROR_IS_FATAL ANY)
    endif()
  ]] plimbury_strip_notes @ONLY)
  install(CODE "${plimbury_strip_notes}")
endif()
install(DIRECTORY ${PROJECT_SOURCE_DIR}/assets/help/ DESTINATION ${plimbury_program_folder}/help)

# Relative links: the program finds its folder through /proc/self/exe, which
# names the file the link leads to, and the tree can be moved as a whole.
# The icon beside the program is the themed one, kept once under share.
file(CREATE_LINK ../${plimbury_program_folder}/plimbury ${CMAKE_CURRENT_BINARY_DIR}/plimbury-bin-link SYMBOLIC)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/plimbury-bin-link DESTINATION bin RENAME plimbury)
file(CREATE_LINK ../../share/icons/hicolor/256x256/apps/${PLIMBURY_APP_ID}.png
     ${CMAKE_CURRENT_BINARY_DIR}/plimbury-icon-link SYMBOLIC)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/plimbury-icon-link DESTINATION ${plimbury_program_folder} RENAME plimbury.png)

install(FILES ${plimbury_linux}/${PLIMBURY_APP_ID}.desktop DESTINATION share/applications)
install(FILES ${plimbury_linux}/${PLIMBURY_APP_ID}.metainfo.xml DESTINATION share/metainfo)
foreach(size 16 24 32 48 64 128 256)
  install(FILES ${PROJECT_SOURCE_DIR}/assets/icons/plimbury-${size}.png
          DESTINATION share/icons/hicolor/${size}x${size}/apps RENAME ${PLIMBURY_APP_ID}.png)
endforeach()

# The manual page and the Debian changelog are installed compressed with
# gzip -9n: smallest, and without the name and time stamp of the build, so
# the same sources give the same package.
set(plimbury_compressed ${CMAKE_CURRENT_BINARY_DIR}/compressed-docs)
set(plimbury_compressed_files)
foreach(name plimbury.1 changelog.Debian)
  add_custom_command(OUTPUT ${plimbury_compressed}/${name}.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${plimbury_linux}/${name} ${plimbury_compressed}/${name}
    COMMAND gzip -9nf ${plimbury_compressed}/${name}
    DEPENDS ${plimbury_linux}/${name}
    COMMENT "Compressing ${name}"
    VERBATIM)
  list(APPEND plimbury_compressed_files ${plimbury_compressed}/${name}.gz)
endforeach()
add_custom_target(plimbury_compressed_docs ALL DEPENDS ${plimbury_compressed_files})
# Whatever builds the program for an installation builds these too.
add_dependencies(plimbury plimbury_compressed_docs)

install(FILES ${plimbury_compressed}/plimbury.1.gz DESTINATION share/man/man1)
install(FILES ${plimbury_linux}/copyright ${plimbury_compressed}/changelog.Debian.gz
        DESTINATION share/doc/plimbury)
install(FILES ${plimbury_linux}/lintian-overrides DESTINATION share/lintian/overrides RENAME plimbury)

# The Debian package. Its version is the program's, with the Debian revision
# of the newest entry of the changelog ("plimbury (2.1-1) unstable; ...").
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${plimbury_linux}/changelog.Debian)
file(STRINGS ${plimbury_linux}/changelog.Debian plimbury_changelog_top LIMIT_COUNT 1)
if(NOT plimbury_changelog_top MATCHES "^plimbury \\((.+)-([^-]+)\\) ")
  message(FATAL_ERROR "${plimbury_linux}/changelog.Debian: the first line is not \"plimbury (<version>-<revision>) ...\"")
endif()
if(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
  message(WARNING "${plimbury_linux}/changelog.Debian: the newest entry is for ${CMAKE_MATCH_1}, "
                  "the program is ${PROJECT_VERSION}; add an entry before packaging")
endif()
set(CPACK_DEBIAN_PACKAGE_RELEASE ${CMAKE_MATCH_2})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME plimbury)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop wallpaper and screen-saver scheduler")
# One string: CPack makes each line a line of the extended description and an
# empty line a paragraph break (" ."). Lines stay under 80 columns.
set(CPACK_PACKAGE_DESCRIPTION [[
Plimbury changes the desktop wallpaper and the screen saver on a schedule.
A show project lists pictures (JPEG or BMP) that become the wallpaper in
turn and screen-saver programs that become the screen saver in turn, each
list with an interval in minutes, hours or days.

Once started, Plimbury waits in the notification area and goes on after
the next log-on. It hands the pictures to GNOME, KDE Plasma, Xfce,
Cinnamon, MATE, LXQt, sway and plain X11 window managers, and selects the
screen saver in XScreenSaver where it is installed.]])
set(CPACK_PACKAGE_CONTACT "Plimbury developers <developers@plimbury.invalid>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES TRUE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries' packages from what the executable links.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The windows are laid out for the 11-pixel "MS Sans Serif" that fonts-wine
# carries (without it they fall back to a narrowed sans-serif face); on a
# Wayland session without X11 the windows need Qt's Wayland plugin. swaybg
# shows the wallpaper on Wayland compositors that have no way of their own.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-wine, qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "swaybg, xscreensaver")
# xdg-open opens the help page.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
include(CPack)

# The installed tree and the package, checked by the test run: layout,
# desktop entry and metainfo validation, the package's contents and a start
# of the installed program by a user who cannot write to its folder.
if(PLIMBURY_TESTS)
  add_test(NAME install_and_package
           COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/cmake/check-install.sh ${CMAKE_BINARY_DIR} ${PLIMBURY_APP_ID})
  set_tests_properties(install_and_package PROPERTIES TIMEOUT 300 SKIP_RETURN_CODE 77)
endif()
