# What every plug-in binary a host loads shares: how the module is linked,
# and the editor's resources that travel inside a bundle.

# The editor's bitmaps (each at 1x and 2x, drawn by tools/art) and its font,
# as the target tolmar_resources leaves them in the build tree's resources
# folder.
set(TOLMAR_ART_STEMS back knob switch ranges button)
set(TOLMAR_RESOURCE_NAMES Roboto-Regular.ttf)
foreach(stem ${TOLMAR_ART_STEMS})
  list(APPEND TOLMAR_RESOURCE_NAMES ${stem}.png ${stem}@2x.png)
endforeach()

# A module for dlopen: named as the host expects (no "lib", ".so"), showing
# only the symbols of exports_map, and bound to its own definitions so that
# two plug-ins in one host never resolve into each other.
function(tolmar_plugin_module target exports_map)
  set_target_properties(${target} PROPERTIES
    PREFIX ""
    SUFFIX ".so"
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON
    LINK_DEPENDS "${exports_map}")
  target_link_options(${target} PRIVATE
    "LINKER:--version-script=${exports_map}"
    "LINKER:-Bsymbolic")
  if(NOT TOLMAR_SANITIZE)
    # Sanitizer runtimes are resolved from the host process at load time.
    target_link_options(${target} PRIVATE "LINKER:--no-undefined")
  endif()
endfunction()

# Copies the editor's resources into folder, through a target
# <target>_resources that target depends on.
function(tolmar_bundle_resources target folder)
  set(resources_in)
  set(resources_out)
  foreach(name ${TOLMAR_RESOURCE_NAMES})
    list(APPEND resources_in "${PROJECT_BINARY_DIR}/resources/${name}")
    list(APPEND resources_out "${folder}/${name}")
  endforeach()
  add_custom_command(
    OUTPUT ${resources_out}
    COMMAND ${CMAKE_COMMAND} -E make_directory "${folder}"
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${resources_in} "${folder}/"
    DEPENDS ${resources_in}
    COMMENT "Copying the editor's resources into ${folder}"
    VERBATIM)
  add_custom_target(${target}_resources ALL DEPENDS ${resources_out})
  # tolmar_resources is defined later, in tools/; dependencies are resolved
  # when generating.
  add_dependencies(${target}_resources tolmar_resources)
  add_dependencies(${target} ${target}_resources)
endfunction()
