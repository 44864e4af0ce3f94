# Run by CPack for the .deb of a cross build: its Depends, from the libraries the
# program needs. The target's libraries here are Debian's cross packages
# (libc6-arm64-cross and the like), whose shlibs and symbols files name the target's
# packages either with an architecture qualifier ("libc6:arm64") or with the cross
# package's suffix ("libgcc-s1-arm64-cross"); on the target they are plain names.
# Without dpkg-shlibdeps the three libraries a C++ program needs are named unversioned.
set(depends "libc6, libgcc-s1, libstdc++6")
find_program(DPKG_SHLIBDEPS dpkg-shlibdeps)
if(DPKG_SHLIBDEPS)
  # dpkg-shlibdeps reads the source package's name from debian/control.
  set(scratch ${CPACK_TOPLEVEL_DIRECTORY}/shlibdeps)
  file(WRITE ${scratch}/debian/control "")
  execute_process(COMMAND ${DPKG_SHLIBDEPS} -O -l${CPACK_TAVO_LIBRARY_DIR} ${CPACK_TAVO_PROGRAM}
    WORKING_DIRECTORY ${scratch} OUTPUT_VARIABLE found ERROR_QUIET
    OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
  string(REGEX REPLACE "^shlibs:Depends=" "" depends "${found}")
  string(REPLACE ":${CPACK_TAVO_DEB_ARCH}" "" depends "${depends}")
  string(REPLACE "-${CPACK_TAVO_DEB_ARCH}-cross" "" depends "${depends}")
endif()
set(CPACK_DEBIAN_PACKAGE_DEPENDS "${depends}")
