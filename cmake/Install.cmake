# Installation away from Windows: a self-contained program folder
# <prefix>/lib/plimbury (the executable with its help page and icon beside it,
# as the program expects), <prefix>/bin/plimbury pointing at it, and the
# freedesktop entries: desktop entry, icons, AppStream metainfo.
#   cmake --install <build> --prefix /usr/local
#   cpack -G DEB --config <build>/CPackConfig.cmake     (a Debian package)
set(PLIMBURY_APP_ID org.plimbury.Plimbury)
set(plimbury_program_folder lib/plimbury)

install(TARGETS plimbury RUNTIME DESTINATION ${plimbury_program_folder})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/assets/help/ DESTINATION ${plimbury_program_folder}/help)
install(FILES ${PROJECT_SOURCE_DIR}/assets/icons/plimbury-256.png
        DESTINATION ${plimbury_program_folder} RENAME plimbury.png)

# A relative link: the program finds its folder through /proc/self/exe, which
# names the file the link leads to, and the tree can be moved as a whole.
file(CREATE_LINK ../${plimbury_program_folder}/plimbury ${CMAKE_CURRENT_BINARY_DIR}/plimbury-bin-link SYMBOLIC)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/plimbury-bin-link DESTINATION bin RENAME plimbury)

install(FILES ${PROJECT_SOURCE_DIR}/assets/linux/${PLIMBURY_APP_ID}.desktop DESTINATION share/applications)
install(FILES ${PROJECT_SOURCE_DIR}/assets/linux/${PLIMBURY_APP_ID}.metainfo.xml DESTINATION share/metainfo)
foreach(size 16 24 32 48 64 128 256)
  install(FILES ${PROJECT_SOURCE_DIR}/assets/icons/plimbury-${size}.png
          DESTINATION share/icons/hicolor/${size}x${size}/apps RENAME ${PLIMBURY_APP_ID}.png)
endforeach()

# The Debian package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME plimbury)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop wallpaper and screen-saver scheduler")
set(CPACK_PACKAGE_DESCRIPTION
  "Changes the desktop wallpaper and the screen saver on a schedule: a show project lists pictures\n"
  "(JPEG or BMP) and screen-saver programs, each list with an interval in minutes, hours or days.\n"
  "Works with GNOME, KDE Plasma, Xfce, Cinnamon, MATE, LXQt, sway and plain X11 window managers.")
set(CPACK_PACKAGE_CONTACT "Plimbury developers <developers@plimbury.invalid>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES TRUE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries' packages from what the executable links.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
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
