# Install rules: the three programs, the assembler library, the m68k run-time, the examples,
# the desktop integration and the documentation, laid out as a Debian program expects.
#
# Layout below the prefix (every path is found from the program's own location, so the tree
# can be moved and no path of the build tree is needed at run time):
#   bin/korvan, bin/qubrix, bin/korvan-sim
#   lib/<multiarch>/korvan/libqubrix.so.1     private library, found through $ORIGIN
#   lib/korvan/runtime/                        crt0.o, libkorvan.a, korvan.ld, korvan.h, specs (m68k)
#   share/applications, share/metainfo, share/mime/packages, share/icons/hicolor
#   share/man/man1, share/doc/korvan (README, copyright, changelog, examples)
include(GNUInstallDirs)

set(KORVAN_INSTALL_PRIVATE_LIBDIR ${CMAKE_INSTALL_LIBDIR}/korvan)
# Target files, not host code: the same for every architecture, hence lib/ without multiarch.
set(KORVAN_INSTALL_RUNTIMEDIR lib/korvan/runtime)
set(KORVAN_INSTALL_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/korvan)
set(_pkg ${PROJECT_SOURCE_DIR}/packaging)

# The workbench finds the private library relative to itself, with the same RUNPATH in the
# build tree and installed: the build tree places the library where it will be installed,
# relative to the programs. (A RUNPATH rewritten at install time would be padded with ':' in
# the build tree, and an empty entry makes the loader search the current folder.) The other
# programs need no RUNPATH: qubrix links the assembler statically.
file(RELATIVE_PATH _rel_lib ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}
     ${CMAKE_INSTALL_PREFIX}/${KORVAN_INSTALL_PRIVATE_LIBDIR})
if(TARGET qubrix)
  cmake_path(SET _build_lib NORMALIZE "${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/${_rel_lib}")
  set_target_properties(qubrix PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${_build_lib})
endif()
if(TARGET korvan)
  set_target_properties(korvan PROPERTIES INSTALL_RPATH "$ORIGIN/${_rel_lib}" BUILD_WITH_INSTALL_RPATH ON)
endif()

foreach(_t korvan qubrix_cli korvan-sim)
  if(TARGET ${_t})
    install(TARGETS ${_t} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()
if(TARGET qubrix)
  # The SONAME and its file; no development link, as no headers are installed.
  install(TARGETS qubrix LIBRARY DESTINATION ${KORVAN_INSTALL_PRIVATE_LIBDIR} NAMELINK_SKIP)
endif()

# The run-time is built only when the m68k cross compiler is there (see runtime/).
if(TARGET korvan_runtime)
  foreach(_f crt0.o libkorvan.a korvan.ld korvan.h)
    install(FILES ${KORVAN_RUNTIME_DIR}/${_f} DESTINATION ${KORVAN_INSTALL_RUNTIMEDIR})
  endforeach()
  install(FILES ${KORVAN_RUNTIME_DIR}/nano/newlib.h DESTINATION ${KORVAN_INSTALL_RUNTIMEDIR}/nano)
  # The specs files name the run-time's folder by full path: written anew for the installed one.
  install(CODE "
    set(_folder \"\${CMAKE_INSTALL_PREFIX}/${KORVAN_INSTALL_RUNTIMEDIR}\")
    foreach(_variant korvan korvan-nano)
      set(KORVAN_SPECS_DIR \${_folder})
      set(KORVAN_SPECS_NAME \${_variant}.specs)
      if(_variant STREQUAL korvan)
        set(KORVAN_SPECS_INCLUDE \"\")
        set(KORVAN_SPECS_LIBC -lc)
      else()
        set(KORVAN_SPECS_INCLUDE \"/nano -isystem \${_folder}\")
        set(KORVAN_SPECS_LIBC -lc_nano)
      endif()
      configure_file(${PROJECT_SOURCE_DIR}/runtime/korvan-gcc-driver.in
                     \"\$ENV{DESTDIR}\${_folder}/\${_variant}.specs\" @ONLY)
    endforeach()")
  # They are m68k objects in a package of the host's architecture, which lintian would flag.
  install(FILES ${_pkg}/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME korvan)
endif()

install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/ DESTINATION ${KORVAN_INSTALL_DOCDIR}/examples
        PATTERN "*.abs" EXCLUDE PATTERN "*.lis" EXCLUDE PATTERN "*.o" EXCLUDE
        PATTERN "message.txt" EXCLUDE PATTERN "gnu.txt" EXCLUDE)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${_pkg}/copyright DESTINATION ${KORVAN_INSTALL_DOCDIR})

# Debian wants the changelog and the manual pages compressed with no time stamp, so that builds
# are reproducible; without gzip they are installed as they are.
find_program(KORVAN_GZIP gzip)
set(_gz_dir ${CMAKE_BINARY_DIR}/packaging)
set(_changelog ${_pkg}/changelog)
set(_manpages ${_pkg}/man/korvan.1 ${_pkg}/man/qubrix.1 ${_pkg}/man/korvan-sim.1)
if(KORVAN_GZIP)
  set(_gz_files)
  foreach(_src IN LISTS _changelog _manpages)
    get_filename_component(_name ${_src} NAME)
    add_custom_command(OUTPUT ${_gz_dir}/${_name}.gz
      COMMAND ${CMAKE_COMMAND} -E make_directory ${_gz_dir}
      COMMAND ${KORVAN_GZIP} -9nc ${_src} > ${_gz_dir}/${_name}.gz
      DEPENDS ${_src})
    list(APPEND _gz_files ${_gz_dir}/${_name}.gz)
  endforeach()
  add_custom_target(korvan_compressed_docs ALL DEPENDS ${_gz_files})
  set(_changelog ${_gz_dir}/changelog.gz)
  list(TRANSFORM _manpages REPLACE "^.*/([^/]+)$" "${_gz_dir}/\\1.gz")
endif()
install(FILES ${_changelog} DESTINATION ${KORVAN_INSTALL_DOCDIR})
install(FILES ${_manpages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${_pkg}/org.hvl_mobr.korvan.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${_pkg}/org.hvl_mobr.korvan.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${_pkg}/korvan-mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME korvan.xml)
if(EXISTS ${PROJECT_SOURCE_DIR}/data/korvan.svg)
  install(FILES ${PROJECT_SOURCE_DIR}/data/korvan.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
else()
  message(STATUS "data/korvan.svg not found: the icon is not installed")
endif()
