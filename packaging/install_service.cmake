# Installs the service's unit and configuration for the prefix being installed to: under /usr
# the configuration goes to /etc, under any other prefix to its own etc folder.
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  set(etc "/etc")
else()
  set(etc "${CMAKE_INSTALL_PREFIX}/etc")
endif()
set(PELLSD "${CMAKE_INSTALL_PREFIX}/sbin/pellsd")
set(CONFIG "${etc}/pellory/pellsd.conf")
configure_file("${PACKAGING}/pellsd.service.in" "${STAGING}/pellsd.service" @ONLY)
file(INSTALL "${STAGING}/pellsd.service" DESTINATION "${CMAKE_INSTALL_PREFIX}/lib/systemd/system")
file(INSTALL "${PACKAGING}/pellsd.conf" DESTINATION "${etc}/pellory")
