# The packages: `cpack` in the build folder (scripts/package.sh) makes both,
# `cpack -G DEB` or `cpack -G TGZ` one of them.
#
# Three sets of install rules exist. The component "user" (the default of
# `cmake --install`) puts the bundles and the presets into the user's plug-in
# folders. The component "system", which only the Debian package installs,
# puts them where a system-wide install belongs:
#   /usr/lib/vst3/Tolmar Charge Chain Delay.vst3
#   /usr/share/vst3/presets/Tolmar Music/Tolmar Charge Chain Delay/
#   /usr/lib/lv2/tolmar-charge-chain-delay.lv2 (when the LV2 bundle is built)
#   /usr/lib/clap/tolmar-charge-chain-delay.clap and the editor's resources
#     beside it in tolmar-charge-chain-delay-resources/ (when the CLAP module
#     is built)
#   /usr/share/doc/tolmar-charge-chain-delay/{copyright,changelog.gz}
# The component "portable" is the tarball for any distribution: the bundles,
# the CLAP module with its resources folder,
# the presets, install.sh and a README at its top.
#
# Both packages carry the modules stripped. The Debian package leaves the
# editor's font out of its bundles and links them to the font of
# fonts-roboto-unhinted instead, on which it depends: Debian keeps one copy
# of each font and updates it in one place. The tarball's bundles keep their
# own copy, since no other distribution's font package is at a known path.

set(TOLMAR_PACKAGE_NAME "tolmar-charge-chain-delay")
set(TOLMAR_PACKAGE_ARCHITECTURE "x86_64")
set(TOLMAR_FONT_NAME "Roboto-Regular.ttf")
# Where fonts-roboto-unhinted puts the font.
set(TOLMAR_DEBIAN_FONT "/usr/share/fonts/truetype/roboto/unhinted/RobotoTTF/${TOLMAR_FONT_NAME}")
set(TOLMAR_DEBIAN_PREFIX "/usr")

# Shared objects that are only ever loaded get no execute bit.
set(module_permissions OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)

# One bundle into a package: its folder without the modules, then the
# modules (stripped) into module_subdir. With LINK_FONT, the font in
# resource_subdir becomes a relative link to Debian's copy.
function(tolmar_package_bundle component bundle_dir destination module_subdir resource_subdir)
  cmake_parse_arguments(PARSE_ARGV 5 arg "LINK_FONT" "" "TARGETS")
  get_filename_component(bundle_name "${bundle_dir}" NAME)
  set(font_exclusion)
  if(arg_LINK_FONT)
    set(font_exclusion PATTERN "${TOLMAR_FONT_NAME}" EXCLUDE)
  endif()
  install(DIRECTORY "${bundle_dir}" DESTINATION "${destination}" USE_SOURCE_PERMISSIONS
          COMPONENT ${component} EXCLUDE_FROM_ALL
          PATTERN "*.so" EXCLUDE ${font_exclusion})
  set(module_destination "${destination}/${bundle_name}")
  if(module_subdir)
    string(APPEND module_destination "/${module_subdir}")
  endif()
  tolmar_package_modules(${component} "${module_destination}" ${arg_TARGETS})
  if(arg_LINK_FONT)
    tolmar_package_font_link(${component} "${destination}/${bundle_name}/${resource_subdir}")
  endif()
endfunction()

# Modules into a package folder, stripped as Debian's own packages are: no
# symbol table, no compiler notes; the dynamic symbols a host looks up stay.
function(tolmar_package_modules component module_destination)
  install(TARGETS ${ARGN} LIBRARY DESTINATION "${module_destination}" PERMISSIONS ${module_permissions}
          COMPONENT ${component} EXCLUDE_FROM_ALL)
  foreach(module ${ARGN})
    install(CODE "
      execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note --strip-unneeded
                      \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${module_destination}/$<TARGET_FILE_NAME:${module}>\"
                      RESULT_VARIABLE result)
      if(NOT result EQUAL 0)
        message(FATAL_ERROR \"strip failed on $<TARGET_FILE_NAME:${module}>\")
      endif()"
      COMPONENT ${component} EXCLUDE_FROM_ALL)
  endforeach()
endfunction()

# The editor's font in a package folder as a relative link to Debian's copy.
function(tolmar_package_font_link component folder)
  file(RELATIVE_PATH target "${TOLMAR_DEBIAN_PREFIX}/${folder}" "${TOLMAR_DEBIAN_FONT}")
  install(CODE "
    set(folder \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${folder}\")
    file(MAKE_DIRECTORY \"\${folder}\")
    file(CREATE_LINK \"${target}\" \"\${folder}/${TOLMAR_FONT_NAME}\" SYMBOLIC)"
    COMPONENT ${component} EXCLUDE_FROM_ALL)
endfunction()

# The CLAP module into a package folder, its resources folder beside it.
function(tolmar_package_clap component destination)
  cmake_parse_arguments(PARSE_ARGV 2 arg "LINK_FONT" "" "")
  set(font_exclusion)
  if(arg_LINK_FONT)
    set(font_exclusion PATTERN "${TOLMAR_FONT_NAME}" EXCLUDE)
  endif()
  install(DIRECTORY "${TOLMAR_CLAP_RESOURCES}" DESTINATION "${destination}" COMPONENT ${component} EXCLUDE_FROM_ALL
          ${font_exclusion})
  tolmar_package_modules(${component} "${destination}" tolmar_clap_module)
  if(arg_LINK_FONT)
    get_filename_component(resources_name "${TOLMAR_CLAP_RESOURCES}" NAME)
    tolmar_package_font_link(${component} "${destination}/${resources_name}")
  endif()
endfunction()

set(lv2_modules)
if(TARGET tolmar_lv2_bundle AND TOLMAR_LV2_BUNDLE_DIR)
  set(lv2_modules tolmar_lv2_dsp)
  if(TARGET tolmar_lv2_ui)
    list(APPEND lv2_modules tolmar_lv2_ui)
  endif()
endif()

# --- The Debian package --------------------------------------------------------
tolmar_package_bundle(system "${TOLMAR_VST3_BUNDLE_DIR}" lib/vst3 Contents/x86_64-linux Contents/Resources
                      TARGETS tolmar_vst3_bundle LINK_FONT)
if(lv2_modules)
  set(lv2_font)
  if(TARGET tolmar_lv2_ui)
    set(lv2_font LINK_FONT)
  endif()
  tolmar_package_bundle(system "${TOLMAR_LV2_BUNDLE_DIR}" lib/lv2 "" resources TARGETS ${lv2_modules} ${lv2_font})
endif()
if(TARGET tolmar_clap_module)
  tolmar_package_clap(system lib/clap LINK_FONT)
endif()
if(DEFINED TOLMAR_PRESETS_DIR)
  install(DIRECTORY "${TOLMAR_PRESETS_DIR}/Tolmar Music" DESTINATION share/vst3/presets
          COMPONENT system EXCLUDE_FROM_ALL)
endif()

# The changelog, compressed as Debian wants it: at most, without a name or
# time stamp, so that the package is the same from every build.
set(changelog "${PROJECT_SOURCE_DIR}/packaging/changelog")
set(changelog_gz "${PROJECT_BINARY_DIR}/packaging/changelog.gz")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${changelog}")
file(MAKE_DIRECTORY "${PROJECT_BINARY_DIR}/packaging")
execute_process(COMMAND gzip -9 -n -c "${changelog}" OUTPUT_FILE "${changelog_gz}" RESULT_VARIABLE gzip_result)
if(NOT gzip_result EQUAL 0)
  message(FATAL_ERROR "gzip could not compress ${changelog}")
endif()
install(FILES "${PROJECT_SOURCE_DIR}/packaging/copyright" "${changelog_gz}"
        DESTINATION "share/doc/${TOLMAR_PACKAGE_NAME}" COMPONENT system EXCLUDE_FROM_ALL)

# --- The tarball ------------------------------------------------------------------
tolmar_package_bundle(portable "${TOLMAR_VST3_BUNDLE_DIR}" . Contents/x86_64-linux Contents/Resources
                      TARGETS tolmar_vst3_bundle)
if(lv2_modules)
  tolmar_package_bundle(portable "${TOLMAR_LV2_BUNDLE_DIR}" . "" resources TARGETS ${lv2_modules})
endif()
if(TARGET tolmar_clap_module)
  tolmar_package_clap(portable .)
endif()
if(DEFINED TOLMAR_PRESETS_DIR)
  install(DIRECTORY "${TOLMAR_PRESETS_DIR}/Tolmar Music" DESTINATION presets COMPONENT portable EXCLUDE_FROM_ALL)
endif()
install(PROGRAMS "${PROJECT_SOURCE_DIR}/packaging/install.sh" DESTINATION . COMPONENT portable EXCLUDE_FROM_ALL)
install(FILES "${PROJECT_SOURCE_DIR}/packaging/README" "${PROJECT_SOURCE_DIR}/LICENSE"
        DESTINATION . COMPONENT portable EXCLUDE_FROM_ALL)
# The font's licence travels with the font.
install(FILES "${PROJECT_SOURCE_DIR}/packaging/Roboto-LICENSE" DESTINATION . COMPONENT portable EXCLUDE_FROM_ALL)

# --- CPack ------------------------------------------------------------------------
set(CPACK_GENERATOR "DEB;TGZ")
set(CPACK_PACKAGE_NAME "${TOLMAR_PACKAGE_NAME}")
set(CPACK_PACKAGE_VENDOR "Tolmar Music")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_CONTACT "Tolmar Music <support@tolmarmusic.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "stereo delay effect modelled on a clocked analog delay line")
# Lines of at most 80 characters, as Debian's tools show them unwrapped.
set(CPACK_PACKAGE_DESCRIPTION "\
Tolmar Charge Chain Delay is a stereo delay effect for digital audio
workstations: a model of a clocked analog delay line with five ranges up to
two seconds, feedback, an LFO for chorus, flanger and vibrato, tempo sync,
freeze and MIDI learn.

The package holds the effect as a VST 3 plug-in, an LV2 plug-in and a CLAP
plug-in, each with its editor, and its ten factory presets.")
set(CPACK_OUTPUT_FILE_PREFIX "${PROJECT_BINARY_DIR}/package")
# The tarball: named with version and architecture, one top folder of the
# same name.
set(CPACK_PACKAGE_FILE_NAME "${TOLMAR_PACKAGE_NAME}-${PROJECT_VERSION}-linux-${TOLMAR_PACKAGE_ARCHITECTURE}")
# Each generator installs its own component (cmake/PackagingGenerators.cmake).
set(CPACK_PROJECT_CONFIG_FILE "${PROJECT_SOURCE_DIR}/cmake/PackagingGenerators.cmake")
set(CPACK_TOLMAR_DEB_PROJECTS "${PROJECT_BINARY_DIR};${PROJECT_NAME};system;/")
set(CPACK_TOLMAR_PORTABLE_PROJECTS "${PROJECT_BINARY_DIR};${PROJECT_NAME};portable;/")
set(CPACK_INSTALL_CMAKE_PROJECTS "${CPACK_TOLMAR_DEB_PROJECTS}")

set(CPACK_PACKAGING_INSTALL_PREFIX "${TOLMAR_DEBIAN_PREFIX}")
set(CPACK_DEBIAN_FILE_NAME "${TOLMAR_PACKAGE_NAME}_${PROJECT_VERSION}_amd64.deb")
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE "amd64")
set(CPACK_DEBIAN_PACKAGE_SECTION "sound")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Tolmar Music <support@tolmarmusic.com>")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "http://www.tolmarmusic.com/music/")
# The shared libraries the modules link (cairo, xcb, FreeType, libcurl and the
# C++ runtime), as dpkg-shlibdeps finds them, and the editor's font. The
# packaging step runs dpkg-shlibdeps itself (cmake/PackagingGenerators.cmake)
# over the modules named here: CPack's own run would also give the package
# ldconfig calls in maintainer scripts for the CLAP module, which it takes
# for a library since it lies right below /usr/lib/clap; a plug-in is no
# library, and the package needs no maintainer scripts at all.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
set(CPACK_TOLMAR_DEBIAN_DEPENDS "fonts-roboto-unhinted")
set(CPACK_TOLMAR_MODULE_FILES "${TOLMAR_VST3_BUNDLE_BINARY}")
if(lv2_modules)
  list(APPEND CPACK_TOLMAR_MODULE_FILES "${TOLMAR_LV2_DSP_BINARY}")
  if(TARGET tolmar_lv2_ui)
    # The editor module is named after the DSP module (src/lv2).
    get_filename_component(lv2_stem "${TOLMAR_LV2_DSP_BINARY}" NAME_WE)
    list(APPEND CPACK_TOLMAR_MODULE_FILES "${TOLMAR_LV2_BUNDLE_DIR}/${lv2_stem}-ui.so")
  endif()
endif()
if(TARGET tolmar_clap_module)
  list(APPEND CPACK_TOLMAR_MODULE_FILES "${TOLMAR_CLAP_MODULE}")
endif()
set(CPACK_TOLMAR_SHLIBDEPS_DIR "${PROJECT_BINARY_DIR}/packaging/shlibdeps")
include(CPack)
