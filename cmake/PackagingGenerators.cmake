# Read by cpack once for each generator: the Debian package installs the
# component "system" under /usr, an archive (the tarball) the component
# "portable" at its top.
if(CPACK_GENERATOR MATCHES "^(TGZ|TXZ|TBZ2|TZST|ZIP|7Z)$")
  set(CPACK_INSTALL_CMAKE_PROJECTS "${CPACK_TOLMAR_PORTABLE_PROJECTS}")
  set(CPACK_PACKAGING_INSTALL_PREFIX "/")
else()
  set(CPACK_INSTALL_CMAKE_PROJECTS "${CPACK_TOLMAR_DEB_PROJECTS}")
endif()
