# The Debian package of the workbench, built with CPack (script/package, or `cpack -G DEB` in a
# build tree), and the packaging tests.
include(${CMAKE_CURRENT_LIST_DIR}/Install.cmake)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME korvan)
# One version for the whole project: the one `--version` and the About box show.
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "hvl_mobr <korvan@hvl-mobr.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "workbench for an MC68332 (CPU32) training module")
set(CPACK_PACKAGE_DESCRIPTION
"korvan is a development workbench for a training module built round the MC68332
microcontroller (CPU32 core): write 68000-family assembly or C, build it into
Motorola S-records, download it over a serial line into the module's resident
monitor, then run it, step it and read the registers.
.
The package also holds qubrix, the two-pass CPU32 assembler (a library with a
command-line front end), and korvan-sim, a simulated module on a
pseudo-terminal for practising without the hardware.")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Library dependencies come from the binaries; the private library is found in the package.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# (dpkg-shlibdeps runs in the staging folder, hence the relative path.)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ./usr/${KORVAN_INSTALL_PRIVATE_LIBDIR})
# The C/C++ build needs the bare-metal m68k-elf toolchain, which script/package builds into a
# package of its own; assembling and the monitor work without it.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "korvan-m68k-elf")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "srecord")
# No maintainer scripts: the MIME, desktop and icon caches are refreshed by dpkg triggers of
# shared-mime-info, desktop-file-utils and the icon theme; the library is private (no ldconfig).

include(CPack)

if(KORVAN_BUILD_TESTS)
  add_subdirectory(${PROJECT_SOURCE_DIR}/tests/packaging ${CMAKE_BINARY_DIR}/tests/packaging)
endif()
