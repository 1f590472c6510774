# What the Linux build installs beyond the programs (man pages, AppStream metadata, the copyright and the
# changelog) and the Debian package CPack makes of it: `cpack -G DEB` in the build directory, or
# scripts/package.sh for every package at once.
include(GNUInstallDirs)
set(_pkg_dir ${PROJECT_SOURCE_DIR}/packaging/linux)
set(_gen_dir ${CMAKE_BINARY_DIR}/packaging)
set(_doc_dir ${CMAKE_INSTALL_DATADIR}/doc/vantrel-discovery)

# Debian wants man pages and the changelog compressed, without a timestamp (gzip -n) so that two builds
# give the same bytes.
find_program(VANTREL_GZIP gzip REQUIRED)
set(_programs vantrel-discover vantrel-device-sim)
if(VANTREL_BUILD_GUI)
  list(APPEND _programs vantrel-discovery)
endif()
set(VANTREL_WINDOW_TITLE_TEXT "Vantrel Discovery Tool ${VANTREL_TITLE_VERSION}")
set(_compressed)
foreach(_program IN LISTS _programs)
  configure_file(${PROJECT_SOURCE_DIR}/docs/man/${_program}.1.in ${_gen_dir}/${_program}.1 @ONLY)
  list(APPEND _compressed ${_gen_dir}/${_program}.1)
endforeach()
configure_file(${_pkg_dir}/changelog ${_gen_dir}/changelog COPYONLY)
list(APPEND _compressed ${_gen_dir}/changelog)
set(_gz)
foreach(_file IN LISTS _compressed)
  add_custom_command(OUTPUT ${_file}.gz
    COMMAND ${VANTREL_GZIP} -9 -n -c ${_file} > ${_file}.gz
    DEPENDS ${_file} VERBATIM)
  list(APPEND _gz ${_file}.gz)
endforeach()
add_custom_target(vantrel_package_docs ALL DEPENDS ${_gz})

foreach(_program IN LISTS _programs)
  install(FILES ${_gen_dir}/${_program}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
install(FILES ${_gen_dir}/changelog.gz ${_pkg_dir}/copyright DESTINATION ${_doc_dir})
if(VANTREL_BUILD_GUI)
  configure_file(${_pkg_dir}/com.vantrel.Discovery.metainfo.xml.in
                 ${_gen_dir}/com.vantrel.Discovery.metainfo.xml @ONLY)
  install(FILES ${_gen_dir}/com.vantrel.Discovery.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vantrel-discovery)
set(CPACK_PACKAGE_VENDOR Vantrel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Vantrel Discovery Team <discovery@vantrel.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "find Vantrel devices on the local network")
# The extended description as Debian writes it: lines of at most 80 columns, wrapped here by hand.
set(CPACK_PACKAGE_DESCRIPTION [=[Vantrel Discovery lists every Vantrel device on the local networks in one
window: it asks through every IPv4 interface at once (UDP multicast to
224.0.0.120, port 5556) and shows each device that answers with its address,
model, serial number and boot state.
.
This package also contains vantrel-discover, the same discovery for terminals
and scripts (text or JSON lines), and vantrel-device-sim, which simulates one
or many devices for tests and demonstrations.]=])
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION non-free/net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://www.vantrel.com/discovery)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's GUI library only recommends its platform plugins, yet without one the window cannot open.
set(CPACK_DEBIAN_PACKAGE_DEPENDS qt6-qpa-plugins)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/dist)
# dh_strip's way: the toolchain's .comment and .note sections are of no use in an installed program.
if(VANTREL_BUILD_GUI)
  set(_installed_programs vantrel-discover vantrel-device-sim vantrel-discovery)
else()
  set(_installed_programs vantrel-discover vantrel-device-sim)
endif()
find_program(VANTREL_OBJCOPY objcopy)
if(VANTREL_OBJCOPY)
  install(CODE "
    if(CMAKE_INSTALL_DO_STRIP)
      foreach(program ${_installed_programs})
        execute_process(COMMAND ${VANTREL_OBJCOPY} --remove-section=.comment --remove-section=.note
          \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/\${program}\"
          COMMAND_ERROR_IS_FATAL ANY)
      endforeach()
    endif()")
endif()
include(CPack)
