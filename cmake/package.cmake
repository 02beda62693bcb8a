# The Debian packages an integrator installs, for the architecture they were built for
# (scripts/package.sh ARCH; `cpack` in any build tree): the plug-in alone, for the controller, and
# the tools that try it without the host (the runner, its stand-in host library, the cabinet
# simulator and the alerting rules), for the controller or a laptop.
set(QIRAOID_PACKAGE_NAME snmp-qiraoid)
set(QIRAOID_TOOLS_PACKAGE_NAME snmp-qiraoid-tools)
set(QIRAOID_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/${QIRAOID_PACKAGE_NAME})
set(QIRAOID_TOOLS_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/${QIRAOID_TOOLS_PACKAGE_NAME})

# The changelog travels with the package; its newest entry must name the version project() gives.
set(QIRAOID_CHANGELOG ${CMAKE_CURRENT_LIST_DIR}/debian/changelog)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${QIRAOID_CHANGELOG})
file(STRINGS ${QIRAOID_CHANGELOG} newest_entry LIMIT_COUNT 1)
string(REPLACE "." "\\." version_pattern "${PROJECT_VERSION}")
if(NOT newest_entry MATCHES "^${QIRAOID_PACKAGE_NAME} \\(${version_pattern}\\) ")
  message(FATAL_ERROR "${QIRAOID_CHANGELOG}: the newest entry is not version ${PROJECT_VERSION}, "
                      "which project() gives")
endif()
execute_process(COMMAND gzip -9nc ${QIRAOID_CHANGELOG} OUTPUT_FILE ${CMAKE_BINARY_DIR}/changelog.gz
                COMMAND_ERROR_IS_FATAL ANY)
install(FILES ${CMAKE_BINARY_DIR}/changelog.gz ${CMAKE_CURRENT_LIST_DIR}/debian/copyright
        DESTINATION ${QIRAOID_DOC_DIR} COMPONENT plugin)
install(FILES ${CMAKE_BINARY_DIR}/changelog.gz ${CMAKE_CURRENT_LIST_DIR}/debian/copyright
        DESTINATION ${QIRAOID_TOOLS_DOC_DIR} COMPONENT runner)
# What an integrator reads on the controller: how to install, configure and remove the plug-in, and
# example device configurations.
install(FILES ${PROJECT_SOURCE_DIR}/plugin/doc/README.md DESTINATION ${QIRAOID_DOC_DIR} COMPONENT plugin)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/plugin/doc/examples/ DESTINATION ${QIRAOID_DOC_DIR}/examples
        COMPONENT plugin)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${QIRAOID_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
# Each package's description starts with its own summary line (CPack would put one summary, the
# project's, atop every package's).
string(CONCAT CPACK_DEBIAN_PLUGIN_DESCRIPTION
       "host plug-in polling power-distribution cabinets over SNMP\n"
       "snmp_qiraoid.so is a device plug-in for the controller's host monitoring\n"
       "framework. Each device polls one dual-input power-distribution cabinet over\n"
       "SNMP (v2c or v3), publishes its 1397 readings to the host as one record per\n"
       "round and, in mode 2, reports the cabinet's 312 alarm signals.")
set(CPACK_PACKAGE_CONTACT "snmp_qiraoid maintainers <snmp-qiraoid@example.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL plugin runner simulator)
set(CPACK_DEBIAN_PACKAGE_SOURCE ${QIRAOID_PACKAGE_NAME})
set(CPACK_DEBIAN_PLUGIN_PACKAGE_NAME ${QIRAOID_PACKAGE_NAME})
set(CPACK_DEBIAN_PLUGIN_PACKAGE_SECTION net)
# The runner and the simulator make one package: the runner is what an integrator tries a
# configuration with, the simulator what it runs against before a cabinet is at hand.
set(CPACK_COMPONENT_RUNNER_GROUP tools)
set(CPACK_COMPONENT_SIMULATOR_GROUP tools)
string(CONCAT CPACK_DEBIAN_TOOLS_DESCRIPTION
    "tools to try the snmp_qiraoid plug-in without the host\n"
    "zrmhost runs the snmp_qiraoid.so plug-in the way the controller's host\n"
    "monitoring framework does: it checks device configurations, polls cabinets\n"
    "and prints each round and alarm change, and serves the readings for\n"
    "Prometheus (zrmhost run --metrics), with alerting rules to go with them.\n"
    "The cabinet simulator serves a cabinet's table from the real snmpd on\n"
    "loopback.")
set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME ${QIRAOID_TOOLS_PACKAGE_NAME})
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION net)
# Beside what dpkg-shlibdeps finds: the simulator runs snmpd, probes it with snmpget and answers
# from perl scripts. The plug-in is what the runner runs, but check needs none.
set(CPACK_DEBIAN_TOOLS_PACKAGE_DEPENDS "snmpd, snmp, perl")
set(CPACK_DEBIAN_TOOLS_PACKAGE_RECOMMENDS "${QIRAOID_PACKAGE_NAME} (= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Depends: worked out by dpkg-shlibdeps from the libraries the packaged files need.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

if(CMAKE_CROSSCOMPILING AND CMAKE_SYSTEM_PROCESSOR STREQUAL "arm")
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE armhf)
  # dpkg-shlibdeps reads the armhf libraries, and the symbols and shlibs files that
  # scripts/armhf-sysroot.sh gathers in the sysroot's DEBIAN/, instead of the build machine's
  # packages; DEB_HOST_ARCH makes it read them with the armhf objdump.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS
      ${CMAKE_SYSROOT}/lib/${CMAKE_LIBRARY_ARCHITECTURE} ${CMAKE_SYSROOT}/usr/lib/${CMAKE_LIBRARY_ARCHITECTURE})
  set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_BINARY_DIR}/cpack_host_arch.cmake)
  file(WRITE ${CPACK_PROJECT_CONFIG_FILE} "set(ENV{DEB_HOST_ARCH} armhf)\n")
endif()
include(CPack)
