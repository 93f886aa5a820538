# Installation and the Debian package (CPack, DEB).
#
# Installed, the program finds its HUD images through ../share/zintra/system
# beside bin/, so the layout below is fixed rather than taken from
# GNUInstallDirs. The Windows zip is portable (everything beside
# zintra.exe) and is put together by scripts/package from the cross build.

if(WIN32)
  return()
endif()

install(TARGETS zintra RUNTIME DESTINATION bin)
install(DIRECTORY data/system/ DESTINATION share/zintra/system
        FILES_MATCHING PATTERN "*.png")
install(FILES packaging/zintra.desktop DESTINATION share/applications)
foreach(size 16 32 48 64 128 256)
  install(FILES packaging/icons/zintra-${size}.png
          DESTINATION share/icons/hicolor/${size}x${size}/apps RENAME zintra.png)
endforeach()
install(FILES packaging/copyright DESTINATION share/doc/zintra)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zintra)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Zintra developers")
set(CPACK_PACKAGE_CONTACT "The Zintra developers <developers@zintra.example>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# A umask of 002 must not leave group-writable folders in the package.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# zintra_<version>_<arch>.deb, the architecture from dpkg.
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
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
