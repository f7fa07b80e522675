# The Debian package: `cpack -G DEB` in the build folder.
#
# Two sets of install rules exist. The component "user" (the default of
# `cmake --install`) puts the bundle and the presets into the user's VST 3
# folders; the component "system", which only the package installs, puts them
# where a system-wide install belongs:
#   /usr/lib/vst3/Tolmar Charge Chain Delay.vst3
#   /usr/share/vst3/presets/Tolmar Music/Tolmar Charge Chain Delay/
#   /usr/lib/lv2/<bundle>.lv2 (when the LV2 bundle is built)
#   /usr/share/doc/tolmar-charge-chain-delay/copyright

set(TOLMAR_PACKAGE_NAME "tolmar-charge-chain-delay")

install(DIRECTORY "${TOLMAR_VST3_BUNDLE_DIR}" DESTINATION lib/vst3 USE_SOURCE_PERMISSIONS
        COMPONENT system EXCLUDE_FROM_ALL)
if(DEFINED TOLMAR_PRESETS_DIR)
  install(DIRECTORY "${TOLMAR_PRESETS_DIR}/Tolmar Music" DESTINATION share/vst3/presets
          COMPONENT system EXCLUDE_FROM_ALL)
endif()
# The LV2 bundle, when the tree builds it (src/lv2).
if(TARGET tolmar_lv2_bundle AND TOLMAR_LV2_BUNDLE_DIR)
  install(DIRECTORY "${TOLMAR_LV2_BUNDLE_DIR}" DESTINATION lib/lv2 USE_SOURCE_PERMISSIONS
          COMPONENT system EXCLUDE_FROM_ALL)
endif()

# Debian's copyright file in its machine-readable form, with the licence's
# full text.
file(READ "${PROJECT_SOURCE_DIR}/LICENSE" licence_text)
string(REGEX REPLACE "\n+$" "" licence_text "${licence_text}")
string(REGEX REPLACE "\n[ \t]*\n" "\n.\n" licence_text "${licence_text}")
string(REPLACE "\n" "\n " licence_text "${licence_text}")
set(copyright_file "${PROJECT_BINARY_DIR}/package/copyright")
file(WRITE "${copyright_file}"
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: Tolmar Charge Chain Delay
Upstream-Contact: Tolmar Music <support@tolmarmusic.com>
Source: http://www.tolmarmusic.com/music/

Files: *
Copyright: Tolmar Music
License: GPL-3+

Files: usr/lib/vst3/Tolmar Charge Chain Delay.vst3/Contents/Resources/Roboto-Regular.ttf
Copyright: Google Inc.
License: Apache-2.0
 On Debian systems the full text of the Apache License, Version 2.0, is in
 /usr/share/common-licenses/Apache-2.0.

License: GPL-3+
 ${licence_text}
")
install(FILES "${copyright_file}" DESTINATION "share/doc/${TOLMAR_PACKAGE_NAME}"
        COMPONENT system EXCLUDE_FROM_ALL)

set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "${TOLMAR_PACKAGE_NAME}")
set(CPACK_PACKAGE_VENDOR "Tolmar Music")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_CONTACT "Tolmar Music <support@tolmarmusic.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "stereo delay effect (VST 3) modelled on a clocked analog delay line")
set(CPACK_PACKAGE_DESCRIPTION
    "Tolmar Charge Chain Delay is a stereo delay effect for digital audio workstations: a model of a clocked analog delay line with five ranges up to two seconds, feedback, an LFO for chorus, flanger and vibrato, tempo sync, freeze and MIDI learn. The package holds the VST 3 plug-in with its ten factory presets and, where built, the LV2 plug-in.")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_INSTALL_CMAKE_PROJECTS "${PROJECT_BINARY_DIR};${PROJECT_NAME};system;/")
set(CPACK_DEBIAN_FILE_NAME "${TOLMAR_PACKAGE_NAME}_${PROJECT_VERSION}_amd64.deb")
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE "amd64")
set(CPACK_DEBIAN_PACKAGE_SECTION "sound")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Tolmar Music <support@tolmarmusic.com>")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "http://www.tolmarmusic.com/music/")
# The dependencies are the shared libraries the bundle links (cairo, xcb,
# FreeType, libcurl and the C++ runtime), as dpkg-shlibdeps finds them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_OUTPUT_FILE_PREFIX "${PROJECT_BINARY_DIR}/package")
include(CPack)
