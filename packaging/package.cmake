# The Debian packages (cpack -G DEB, scripts/package.sh): the programs without windows, which
# need no GUI library (a server or a boot room's machine has none), and their windows beside them.
set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL programs windows)
set(CPACK_PACKAGE_NAME pellory-tftp)
set(CPACK_PACKAGE_VENDOR Drumvale)
set(CPACK_PACKAGE_CONTACT "PelloryTFTP developers <pellory@drumvale.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://drumvale.example/pellory")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)

set(CPACK_DEBIAN_PROGRAMS_PACKAGE_NAME pellory-tftp)
set(CPACK_COMPONENT_PROGRAMS_DESCRIPTION "TFTP server and client, headless or as a service
pellsd is a TFTP server and pellcl a TFTP client (RFC 1350 with the option,
block size, transfer size, timeout and window size extensions, IPv4 and IPv6),
for pushing firmware and configurations to routers, phones and boards and for
booting machines over the network. This package runs them from the console
and the server as the pellsd service, installed disabled; their windows are in
pellory-tftp-windows.")
set(CPACK_DEBIAN_PROGRAMS_PACKAGE_DEPENDS "libc6 (>= 2.34), libstdc++6 (>= 12)")
set(CPACK_DEBIAN_PROGRAMS_PACKAGE_CONTROL_EXTRA
  "${CMAKE_CURRENT_LIST_DIR}/postinst;${CMAKE_CURRENT_LIST_DIR}/prerm;${CMAKE_CURRENT_LIST_DIR}/postrm;${CMAKE_CURRENT_LIST_DIR}/conffiles")

set(CPACK_DEBIAN_WINDOWS_PACKAGE_NAME pellory-tftp-windows)
set(CPACK_COMPONENT_WINDOWS_DESCRIPTION "windows of the PelloryTFTP server and client
The windows of pellsd and pellcl (Qt 6), with their desktop entries: started
without options, each program opens its window.")
set(CPACK_DEBIAN_WINDOWS_PACKAGE_DEPENDS
  "pellory-tftp (= ${PROJECT_VERSION}), libqt6core6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6widgets6 (>= 6.4)")
include(CPack)
