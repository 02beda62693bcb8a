# Cross build for the 32-bit ARMv7 hard-float controller (armhf: long and Net-SNMP's oid are 32 bits)
# with Debian's arm-linux-gnueabihf toolchain, through the armhf and armhf-package presets
# (CMakePresets.json) that scripts/build-armhf.sh, test-armhf.sh and package.sh use:
#   cmake --preset armhf
#
# Headers and libraries other than libc and libstdc++ (which come with the toolchain) are taken from
# the sysroot that scripts/armhf-sysroot.sh assembles: build/armhf-sysroot, or -DARMHF_SYSROOT=DIR
# (or $ARMHF_SYSROOT, which the script honours too). -DARMHF_QEMU_CPU picks the emulated core.
# --sysroot replaces the build machine's /usr/include on the compiler's search path, so its
# net-snmp-config.h (SIZEOF_LONG 8) can never be picked up.

set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)

# Kept in the cache so that a later re-run of cmake (and every try_compile) uses the same sysroot
# whatever the environment is then.
if(NOT ARMHF_SYSROOT)
  if(DEFINED ENV{ARMHF_SYSROOT} AND NOT "$ENV{ARMHF_SYSROOT}" STREQUAL "")
    get_filename_component(ARMHF_SYSROOT "$ENV{ARMHF_SYSROOT}" ABSOLUTE)
  else()
    get_filename_component(ARMHF_SYSROOT "${CMAKE_CURRENT_LIST_DIR}/../build/armhf-sysroot" ABSOLUTE)
  endif()
endif()
set(ARMHF_SYSROOT "${ARMHF_SYSROOT}" CACHE PATH "armhf sysroot made by scripts/armhf-sysroot.sh")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ARMHF_SYSROOT)
set(_armhf_sysroot "${ARMHF_SYSROOT}")
if(NOT EXISTS "${_armhf_sysroot}/usr/include/net-snmp/net-snmp-config.h")
  message(FATAL_ERROR "No armhf sysroot at ${_armhf_sysroot}: run scripts/armhf-sysroot.sh first")
endif()

set(CMAKE_C_COMPILER arm-linux-gnueabihf-gcc)
set(CMAKE_CXX_COMPILER arm-linux-gnueabihf-g++)
set(CMAKE_LIBRARY_ARCHITECTURE arm-linux-gnueabihf)
set(CMAKE_SYSROOT "${_armhf_sysroot}")
# GCC notes on ARM that argument passing of some types changed in GCC 7.1; everything here is
# built by GCC 12, so the notes only bury real warnings.
set(CMAKE_CXX_FLAGS_INIT "-Wno-psabi")

set(CMAKE_FIND_ROOT_PATH "${_armhf_sysroot}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config reads only the sysroot's .pc files and prefixes their paths with it.
set(ENV{PKG_CONFIG_LIBDIR} "${_armhf_sysroot}/usr/lib/arm-linux-gnueabihf/pkgconfig:${_armhf_sysroot}/usr/share/pkgconfig")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "${_armhf_sysroot}")
unset(ENV{PKG_CONFIG_PATH})

# Test binaries (and gtest_discover_tests' listing at build time) run under user-mode emulation, the
# armhf loader and libraries coming from the sysroot. Given as environment rather than options so
# that armhf programs a test starts itself inherit them (they reach qemu-arm through binfmt_misc:
# scripts/test-armhf.sh). Cortex-A9 by default: a plain ARMv7-A core without integer divide or VFPv4,
# so code that needs a newer core fails here too.
if(NOT ARMHF_QEMU_CPU)
  if(DEFINED ENV{ARMHF_QEMU_CPU} AND NOT "$ENV{ARMHF_QEMU_CPU}" STREQUAL "")
    set(ARMHF_QEMU_CPU "$ENV{ARMHF_QEMU_CPU}")
  else()
    set(ARMHF_QEMU_CPU cortex-a9)
  endif()
endif()
set(ARMHF_QEMU_CPU "${ARMHF_QEMU_CPU}" CACHE STRING "CPU that qemu-arm emulates for the tests")
find_program(ARMHF_QEMU qemu-arm)
if(ARMHF_QEMU)
  set(CMAKE_CROSSCOMPILING_EMULATOR
      /usr/bin/env "QEMU_LD_PREFIX=${_armhf_sysroot}" "QEMU_CPU=${ARMHF_QEMU_CPU}" "${ARMHF_QEMU}")
endif()
