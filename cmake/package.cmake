# The Debian package an integrator copies to a controller: the plug-in alone, for the architecture
# it was built for (scripts/package-armhf.sh for the controller; `cpack` in any build tree).
set(QIRAOID_PACKAGE_NAME snmp-qiraoid)
set(QIRAOID_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/${QIRAOID_PACKAGE_NAME})

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
# What an integrator reads on the controller: how to install, configure and remove the plug-in, and
# example device configurations.
install(FILES ${PROJECT_SOURCE_DIR}/plugin/doc/README.md DESTINATION ${QIRAOID_DOC_DIR} COMPONENT plugin)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/plugin/doc/examples/ DESTINATION ${QIRAOID_DOC_DIR}/examples
        COMPONENT plugin)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${QIRAOID_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "host plug-in polling power-distribution cabinets over SNMP")
string(CONCAT CPACK_COMPONENT_PLUGIN_DESCRIPTION
       "snmp_qiraoid.so is a device plug-in for the controller's host monitoring\n"
       "framework. Each device polls one dual-input power-distribution cabinet over\n"
       "SNMP (v2c or v3), publishes its 1397 readings to the host as one record per\n"
       "round and, in mode 2, reports the cabinet's 312 alarm signals.")
set(CPACK_PACKAGE_CONTACT "snmp_qiraoid maintainers <snmp-qiraoid@example.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL plugin)
set(CPACK_DEBIAN_PLUGIN_PACKAGE_NAME ${QIRAOID_PACKAGE_NAME})
set(CPACK_DEBIAN_PLUGIN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Depends: worked out by dpkg-shlibdeps from the libraries the plug-in needs.
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
