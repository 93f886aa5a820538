# Installation and the Debian package (CPack, DEB).
#
# Installed, the program finds its HUD images through ../share/zintra/system
# beside bin/, so the layout below is fixed rather than taken from
# GNUInstallDirs. The Windows zip is portable (everything beside
# zintra.exe) and is put together by scripts/package from the cross build.

if(WIN32)
  return()
endif()

# One date for everything dated in the package: SOURCE_DATE_EPOCH when
# given (scripts/package gives the last commit's), which string(TIMESTAMP)
# reads, so two builds of one commit match byte for byte.
string(TIMESTAMP ZINTRA_RELEASE_DATE "%Y-%m-%d" UTC)
string(TIMESTAMP ZINTRA_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
set(ZINTRA_DEB_RELEASE 1)
set(ZINTRA_DEB_VERSION ${PROJECT_VERSION}-${ZINTRA_DEB_RELEASE})
set(CPACK_PACKAGE_CONTACT "The Zintra developers <developers@zintra.example>")
set(zintra_pkg ${PROJECT_BINARY_DIR}/packaging)

# The manual page: the template's hand-written sections around the usage
# text --help prints, set in roff by a program built from the same texts.
add_executable(write_man_page tools/man_page/write_man_page.cpp)
target_link_libraries(write_man_page PRIVATE zintra_man_page zintra_core)
find_program(GZIP gzip REQUIRED)
# Rewritten only when the date changes, which then sets the page again.
file(CONFIGURE OUTPUT ${zintra_pkg}/release_date.txt CONTENT "${ZINTRA_RELEASE_DATE}\n")
add_custom_command(
  OUTPUT ${zintra_pkg}/zintra.1.gz
  COMMAND ${CMAKE_COMMAND} -E make_directory ${zintra_pkg}
  COMMAND write_man_page ${PROJECT_SOURCE_DIR}/packaging/man/zintra.1.in
          ${zintra_pkg}/zintra.1 ${ZINTRA_RELEASE_DATE}
  COMMAND ${GZIP} -9nf ${zintra_pkg}/zintra.1
  DEPENDS write_man_page ${PROJECT_SOURCE_DIR}/packaging/man/zintra.1.in
          ${zintra_pkg}/release_date.txt
  VERBATIM)

configure_file(packaging/changelog.Debian.in ${zintra_pkg}/changelog.Debian @ONLY)
configure_file(packaging/changelog.in ${zintra_pkg}/changelog @ONLY)
add_custom_command(
  OUTPUT ${zintra_pkg}/changelog.Debian.gz ${zintra_pkg}/changelog.gz
  COMMAND ${GZIP} -9nkf ${zintra_pkg}/changelog.Debian ${zintra_pkg}/changelog
  DEPENDS ${zintra_pkg}/changelog.Debian ${zintra_pkg}/changelog
  VERBATIM)
configure_file(packaging/example.zintra.Zintra.metainfo.xml.in
               ${zintra_pkg}/example.zintra.Zintra.metainfo.xml @ONLY)
add_custom_target(zintra_package_files ALL DEPENDS
  ${zintra_pkg}/zintra.1.gz ${zintra_pkg}/changelog.Debian.gz ${zintra_pkg}/changelog.gz)

install(TARGETS zintra RUNTIME DESTINATION bin)
# Stripped as Debian strips: the compilers' version strings go too.
install(CODE "
  if(CMAKE_INSTALL_DO_STRIP)
    execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment
                    \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin/zintra\" COMMAND_ERROR_IS_FATAL ANY)
  endif()")
install(DIRECTORY data/system/ DESTINATION share/zintra/system
        FILES_MATCHING PATTERN "*.png")
install(FILES packaging/example.zintra.Zintra.desktop DESTINATION share/applications)
install(FILES ${zintra_pkg}/example.zintra.Zintra.metainfo.xml DESTINATION share/metainfo)
install(FILES ${zintra_pkg}/zintra.1.gz DESTINATION share/man/man1)
install(FILES ${zintra_pkg}/changelog.Debian.gz ${zintra_pkg}/changelog.gz
        DESTINATION share/doc/zintra)
foreach(size 16 32 48 64 128 256)
  install(FILES packaging/icons/zintra-${size}.png
          DESTINATION share/icons/hicolor/${size}x${size}/apps RENAME zintra.png)
endforeach()
install(FILES packaging/copyright DESTINATION share/doc/zintra)
install(FILES packaging/lintian/zintra DESTINATION share/lintian/overrides)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zintra)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Zintra developers")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# A umask of 002 must not leave group-writable folders in the package.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# zintra_<version>_<arch>.deb, the architecture from dpkg.
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${ZINTRA_DEB_RELEASE})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt draws on a Wayland desktop natively only with its Wayland plugin.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://zintra.example")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "viewer for painters of repeating textures
Zintra shows one PNG tiled 4 x 4, one texel per pixel, so every seam
shows. Pan, zoom and tilt it, step through the PNGs of a folder, open
the one on show in an image editor and see it reloaded when it changes.")

include(CPack)
