# The Debian package of both programs (cpack -G DEB, scripts/package.sh).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pellory-tftp)
set(CPACK_PACKAGE_VENDOR Drumvale)
set(CPACK_PACKAGE_CONTACT "PelloryTFTP developers <pellory@drumvale.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "TFTP server and client, in a window or headless")
set(CPACK_PACKAGE_DESCRIPTION "pellsd is a TFTP server and pellcl a TFTP client (RFC 1350 with the option,
block size, transfer size, timeout and window size extensions, IPv4 and IPv6),
for pushing firmware and configurations to routers, phones and boards and for
booting machines over the network. Both run in a window or from the console;
the server also runs as the pellsd service, installed disabled.")
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://drumvale.example/pellory")
# The Qt libraries the programs and their windows link, and nothing more.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6core6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6widgets6 (>= 6.4)")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
  "${CMAKE_CURRENT_LIST_DIR}/postinst;${CMAKE_CURRENT_LIST_DIR}/prerm;${CMAKE_CURRENT_LIST_DIR}/postrm;${CMAKE_CURRENT_LIST_DIR}/conffiles")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
include(CPack)
