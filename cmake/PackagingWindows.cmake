# The Windows packages, made on Linux from the Windows build into dist/: the installer
# vantrel-discovery-<version>-x64.msi (wixl, from msitools) and the portable
# vantrel-discovery-<version>-windows-x64.zip. Both carry stripped copies of the three executables; the
# unstripped ones in bin/ stay for the tests and debugging. With the tests, also an installer of the
# version just below this one (test-packages/), for the upgrade test.
set(_win_dir ${PROJECT_SOURCE_DIR}/packaging/windows)
set(_dist ${CMAKE_BINARY_DIR}/dist)
set(_stage ${CMAKE_BINARY_DIR}/package-bin)
set(_exe_targets vantrel-discovery-win32 vantrel-discover vantrel-device-sim)

set(_stripped)
foreach(_target IN LISTS _exe_targets)
  get_target_property(_name ${_target} OUTPUT_NAME)
  if(NOT _name)
    set(_name ${_target})
  endif()
  add_custom_command(OUTPUT ${_stage}/${_name}.exe
    COMMAND ${CMAKE_COMMAND} -E make_directory ${_stage}
    COMMAND ${CMAKE_STRIP} --strip-all -o ${_stage}/${_name}.exe $<TARGET_FILE:${_target}>
    DEPENDS ${_target} VERBATIM)
  list(APPEND _stripped ${_stage}/${_name}.exe)
endforeach()

# The portable zip: one folder with the executables and a short text, in Windows line ends.
set(_zip_name vantrel-discovery-${PROJECT_VERSION}-windows-x64)
file(READ ${_win_dir}/README.txt.in _readme)
string(CONFIGURE "${_readme}" _readme @ONLY)
# Written only when it changes, so that a new configure does not remake the zip.
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/zip-readme/README.txt CONTENT "${_readme}"
               NEWLINE_STYLE CRLF)
set(_zip ${_dist}/${_zip_name}.zip)
add_custom_command(OUTPUT ${_zip}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${CMAKE_BINARY_DIR}/zip-stage
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/zip-stage/${_zip_name} ${_dist}
  COMMAND ${CMAKE_COMMAND} -E copy ${_stripped} ${CMAKE_BINARY_DIR}/zip-readme/README.txt
          ${CMAKE_BINARY_DIR}/zip-stage/${_zip_name}
  COMMAND ${CMAKE_COMMAND} -E chdir ${CMAKE_BINARY_DIR}/zip-stage
          ${CMAKE_COMMAND} -E tar cf ${_zip} --format=zip "--mtime=${VANTREL_RELEASE_DATE} 00:00:00 UTC" ${_zip_name}
  DEPENDS ${_stripped} ${CMAKE_BINARY_DIR}/zip-readme/README.txt VERBATIM)
set(_outputs ${_zip})

find_program(VANTREL_WIXL wixl)
if(VANTREL_WIXL)
  set(_wxs ${_win_dir}/vantrel-discovery.wxs)
  set(_icon ${PROJECT_SOURCE_DIR}/resources/icons/vantrel-discovery.ico)
  # wixl takes source files only by relative paths: it runs in / with the leading slash taken off.
  string(REGEX REPLACE "^/" "" _stage_rel "${_stage}")
  string(REGEX REPLACE "^/" "" _icon_rel "${_icon}")
  # An installer of ProductVersion `version` at `out`.
  function(_vantrel_msi out version)
    get_filename_component(_out_dir ${out} DIRECTORY)
    add_custom_command(OUTPUT ${out}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${_out_dir}
      COMMAND ${VANTREL_WIXL} -a x64 -D Version=${version} -D BinDir=${_stage_rel} -D IconFile=${_icon_rel}
              -o ${out} ${_wxs}
      WORKING_DIRECTORY / DEPENDS ${_wxs} ${_icon} ${_stripped} VERBATIM)
  endfunction()
  set(_msi ${_dist}/vantrel-discovery-${PROJECT_VERSION}-x64.msi)
  _vantrel_msi(${_msi} ${VANTREL_PACKAGE_VERSION})
  list(APPEND _outputs ${_msi})
  if(VANTREL_BUILD_TESTS)
    set(_older ${CMAKE_BINARY_DIR}/test-packages/vantrel-discovery-older-x64.msi)
    _vantrel_msi(${_older} ${VANTREL_PACKAGE_VERSION_BEFORE})
    list(APPEND _outputs ${_older})
  endif()
else()
  message(STATUS "wixl not found (Debian package wixl): no Windows installer")
endif()
add_custom_target(vantrel_windows_packages ALL DEPENDS ${_outputs})
