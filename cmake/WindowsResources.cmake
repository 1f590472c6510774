# Windows resources (icon, version block, manifest) for vantrel-discovery.exe.
# Needs the RC language, which CMake enables for a GNU compiler targeting Windows;
# the cross toolchain points CMAKE_RC_COMPILER at windres.

set(VANTREL_WINDOWS_RESOURCES_DIR "${CMAKE_CURRENT_LIST_DIR}/../resources/windows")
cmake_path(NORMAL_PATH VANTREL_WINDOWS_RESOURCES_DIR)

# Some mingw-w64 distributions ship default-manifest.o, which GCC links into every
# executable when it exists. ld drops it for ours only while it is language-neutral;
# a build of it tagged with a language ends up as a second RT_MANIFEST. Where the
# toolchain has one, put an empty archive of that name first in the driver's search path.
function(_vantrel_shadow_default_manifest target)
  execute_process(
    COMMAND "${CMAKE_CXX_COMPILER}" -print-file-name=default-manifest.o
    OUTPUT_VARIABLE found
    OUTPUT_STRIP_TRAILING_WHITESPACE
    RESULT_VARIABLE status)
  if(NOT status EQUAL 0 OR NOT IS_ABSOLUTE "${found}")
    return()
  endif()
  set(shadow_dir "${CMAKE_CURRENT_BINARY_DIR}/${target}-no-default-manifest")
  file(WRITE "${shadow_dir}/default-manifest.o" "!<arch>\n")
  target_link_options(${target} PRIVATE "-B${shadow_dir}/")
endfunction()

# Writes vantrel-version.h, which the .rc takes its version from, out of project()'s
# version; VERSIONINFO wants all four numbers, so missing ones become 0.
function(_vantrel_write_version_header path)
  set(numbers)
  foreach(part IN ITEMS MAJOR MINOR PATCH TWEAK)
    if(PROJECT_VERSION_${part} STREQUAL "")
      list(APPEND numbers 0)
    else()
      list(APPEND numbers ${PROJECT_VERSION_${part}})
    endif()
  endforeach()
  list(JOIN numbers "," version_numbers)
  list(JOIN numbers "." version_text)
  configure_file("${VANTREL_WINDOWS_RESOURCES_DIR}/vantrel-version.h.in" "${path}" @ONLY)
  # The manifest's assembly identity carries the same four numbers.
  cmake_path(GET path PARENT_PATH dir)
  configure_file("${VANTREL_WINDOWS_RESOURCES_DIR}/vantrel-discovery.manifest.in"
                 "${dir}/vantrel-discovery.manifest" @ONLY)
endfunction()

# Adds the icon IDI_ICON1, the version block and the manifest to an executable target.
function(vantrel_add_windows_resources target)
  set(resources_dir "${VANTREL_WINDOWS_RESOURCES_DIR}")
  cmake_path(GET resources_dir PARENT_PATH icons_dir)
  cmake_path(APPEND icons_dir "icons")
  set(generated_dir "${CMAKE_CURRENT_BINARY_DIR}/${target}-resources")
  _vantrel_write_version_header("${generated_dir}/vantrel-version.h")

  set(rc "${resources_dir}/vantrel-discovery.rc")
  target_sources(${target} PRIVATE "${rc}")
  # windres looks for the header and the ICON and RT_MANIFEST files on its include path,
  # whatever directory the build runs it in: list every directory they live in.
  foreach(dir IN ITEMS "${resources_dir}" "${icons_dir}" "${generated_dir}")
    target_include_directories(${target} PRIVATE "$<$<COMPILE_LANGUAGE:RC>:${dir}>")
  endforeach()
  # windres writes no depfile: name the files it reads so that editing one rebuilds.
  set_property(SOURCE "${rc}" TARGET_DIRECTORY ${target} APPEND PROPERTY OBJECT_DEPENDS
    "${generated_dir}/vantrel-discovery.manifest"
    "${icons_dir}/vantrel-discovery.ico"
    "${generated_dir}/vantrel-version.h")
  _vantrel_shadow_default_manifest(${target})
endfunction()
