# The Debian package that scripts/package makes with CPack (build/package/qicheng_<version>_<arch>.deb).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME qicheng)
set(CPACK_PACKAGE_VENDOR "栖橙")
set(CPACK_PACKAGE_CONTACT "栖橙 <dev@qicheng.cn>")
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${PROJECT_HOMEPAGE_URL})
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "refresh listings on 搜房网 on an agent's timetable")
# CPack puts the summary first; this is the long description after it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "栖橙 is a desktop tool for estate agents who publish listings in the agent
back office of the listing site 搜房网, which orders an agent's listings by
how recently each was refreshed. It keeps the agent's refresh plans (listing
IDs, times of the day, every listing at every time or a few in turn) and
sends the site's refresh request at each time, with the sign-in of the
agent's own session in the program's embedded browser. It logs every refresh
and counts the day's successes, in total and per plan.")

# The libraries it links are found by dpkg-shlibdeps; these it needs without linking them:
# the embedded browser's own process, OpenCC's conversion tables and the CJK font the windows
# use. The X11 platform plugin comes with libqt6gui6, which shlibdeps finds; the Wayland one
# is recommended for sessions without X11.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6webenginecore6-bin, libopencc-data, fonts-wqy-microhei")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland, systemd")

include(CPack)
