# Read by cpack once for each generator: the Debian package installs the
# component "system" under /usr, an archive (the tarball) the component
# "portable" at its top.
if(CPACK_GENERATOR MATCHES "^(TGZ|TXZ|TBZ2|TZST|ZIP|7Z)$")
  set(CPACK_INSTALL_CMAKE_PROJECTS "${CPACK_TOLMAR_PORTABLE_PROJECTS}")
  set(CPACK_PACKAGING_INSTALL_PREFIX "/")
else()
  set(CPACK_INSTALL_CMAKE_PROJECTS "${CPACK_TOLMAR_DEB_PROJECTS}")
  # The libraries the modules need, as dpkg-shlibdeps names their packages
  # (cmake/Packaging.cmake says why it runs here), in a scratch folder with
  # the empty debian/control it asks for.
  set(work "${CPACK_TOLMAR_SHLIBDEPS_DIR}")
  file(REMOVE_RECURSE "${work}")
  file(MAKE_DIRECTORY "${work}/debian")
  file(WRITE "${work}/debian/control" "")
  execute_process(COMMAND dpkg-shlibdeps -O ${CPACK_TOLMAR_MODULE_FILES}
                  WORKING_DIRECTORY "${work}" OUTPUT_VARIABLE shlibs ERROR_VARIABLE errors RESULT_VARIABLE result)
  if(NOT result EQUAL 0 OR NOT shlibs MATCHES "shlibs:Depends=([^\n]+)")
    message(FATAL_ERROR "dpkg-shlibdeps failed on ${CPACK_TOLMAR_MODULE_FILES}: ${errors}")
  endif()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "${CMAKE_MATCH_1}, ${CPACK_TOLMAR_DEBIAN_DEPENDS}")
endif()
