# Read by cpack when it makes the Debian package: the Depends field, worked out by dpkg-shlibdeps
# from the built programs and libraries. CPack's own reckoning would also add ldconfig calls to
# the maintainer scripts for any library in a folder below /usr/lib, our private folder
# included, where there is nothing for ldconfig to do.
if(NOT CPACK_GENERATOR STREQUAL "DEB")
  return()
endif()
set(work ${CPACK_QUORVEL_BINARY_DIR}/CMakeFiles/deb-depends)
# dpkg-shlibdeps wants to be run from a source package's folder.
file(MAKE_DIRECTORY ${work}/debian)
file(TOUCH ${work}/debian/control)
execute_process(
  COMMAND dpkg-shlibdeps -O -l${CPACK_QUORVEL_LIBRARY_DIR} ${CPACK_QUORVEL_BINARIES}
  WORKING_DIRECTORY ${work}
  OUTPUT_VARIABLE substitution
  ERROR_VARIABLE complaints
  RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR NOT substitution MATCHES "^shlibs:Depends=([^\n]+)")
  message(FATAL_ERROR "dpkg-shlibdeps could not work out the package's dependencies: ${complaints}")
endif()
set(CPACK_DEBIAN_PACKAGE_DEPENDS "${CMAKE_MATCH_1}")
