# Everything that shows or carries the version is made from project()'s VERSION alone.
#
# VANTREL_TITLE_VERSION: the window title's form, the major version, a point, then the minor, patch and
# tweak digits (1.0.0.3 -> 1.003).
# VANTREL_PACKAGE_VERSION: the installers' three-field form. Windows Installer compares only the first
# three fields of ProductVersion (major < 256, minor < 256, build < 65536), so the tweak cannot stay
# fourth: minor stays, patch and tweak fold into the build field as patch * 1000 + tweak
# (1.0.0.3 -> 1.0.3, 1.0.1.0 -> 1.0.1000). That keeps every release order (tweak < 1000), and the .deb
# uses the full four-field version, which dpkg already orders.
set(_parts)
foreach(part IN ITEMS MAJOR MINOR PATCH TWEAK)
  if("${PROJECT_VERSION_${part}}" STREQUAL "")
    list(APPEND _parts 0)
  else()
    list(APPEND _parts ${PROJECT_VERSION_${part}})
  endif()
endforeach()
list(GET _parts 0 _major)
list(GET _parts 1 _minor)
list(GET _parts 2 _patch)
list(GET _parts 3 _tweak)
if(_minor GREATER 255 OR _patch GREATER 64 OR _tweak GREATER 999)
  message(FATAL_ERROR "version ${PROJECT_VERSION} does not fit the installers' numbering")
endif()
set(VANTREL_TITLE_VERSION "${_major}.${_minor}${_patch}${_tweak}")
math(EXPR _build "${_patch} * 1000 + ${_tweak}")
set(VANTREL_PACKAGE_VERSION "${_major}.${_minor}.${_build}")
unset(_parts)

# vantrel/product.h: the product's name, version and window title for the programs and the tests.
configure_file(${CMAKE_CURRENT_LIST_DIR}/../src/version/product.h.in
               ${CMAKE_BINARY_DIR}/generated/vantrel/product.h @ONLY)
add_library(vantrel_product INTERFACE)
target_include_directories(vantrel_product INTERFACE ${CMAKE_BINARY_DIR}/generated)
