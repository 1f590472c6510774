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

# The changelog is history and names its own versions; its newest entry must be this one, and gives the
# release date for the metadata.
file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/../packaging/linux/changelog _changelog)
list(GET _changelog 0 _newest)
if(NOT _newest MATCHES "^vantrel-discovery \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "packaging/linux/changelog: the newest entry is not ${PROJECT_VERSION}: ${_newest}")
endif()
foreach(_line IN LISTS _changelog)
  if(_line MATCHES "^ -- .*>  [A-Z][a-z][a-z], ([0-9][0-9]?) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9]) ")
    set(_day ${CMAKE_MATCH_1})
    set(_year ${CMAKE_MATCH_3})
    set(_months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
    list(FIND _months ${CMAKE_MATCH_2} _month)
    math(EXPR _month "${_month} + 1")
    string(LENGTH "${_day}" _len)
    if(_len EQUAL 1)
      set(_day "0${_day}")
    endif()
    if(_month LESS 10)
      set(_month "0${_month}")
    endif()
    set(VANTREL_RELEASE_DATE "${_year}-${_month}-${_day}")
    break()
  endif()
endforeach()
if(NOT VANTREL_RELEASE_DATE)
  message(FATAL_ERROR "packaging/linux/changelog: no trailer line with a date in the newest entry")
endif()

# vantrel/product.h: the product's name, version and window title for the programs and the tests.
configure_file(${CMAKE_CURRENT_LIST_DIR}/../src/version/product.h.in
               ${CMAKE_BINARY_DIR}/generated/vantrel/product.h @ONLY)
add_library(vantrel_product INTERFACE)
target_include_directories(vantrel_product INTERFACE ${CMAKE_BINARY_DIR}/generated)

# The release just below this one in the installers' numbering: the upgrade test installs a package of
# that version first.
if(_build GREATER 0)
  math(EXPR _before "${_build} - 1")
  set(VANTREL_PACKAGE_VERSION_BEFORE "${_major}.${_minor}.${_before}")
elseif(_minor GREATER 0)
  math(EXPR _before "${_minor} - 1")
  set(VANTREL_PACKAGE_VERSION_BEFORE "${_major}.${_before}.0")
else()
  math(EXPR _before "${_major} - 1")
  set(VANTREL_PACKAGE_VERSION_BEFORE "${_before}.0.0")
endif()
