# What `cmake --install` puts where, and the packages CPack makes of it: on Linux
# the program in bin and its manual in share/man/man1, packaged as a .deb; on
# Windows tavo.exe, a README.txt and the licence side by side, packaged as a zip.
# Nothing of the tests is installed. CPack dates every file and archive member
# SOURCE_DATE_EPOCH when it is set (cmake/make-packages.sh sets it).
include(GNUInstallDirs)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
  GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_PACKAGE_NAME tavo)
set(CPACK_PACKAGE_VENDOR "the tavo developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "measure how fast a file, a drive or a disk reads, and copy what it reads")
set(CPACK_STRIP_FILES ON)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR}/packages)

if(WIN32)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(TAVO_WINDOWS_NAME win64)
    set(BITS "64-bit, x86-64")
  else()
    set(TAVO_WINDOWS_NAME win32)
    set(BITS "32-bit, i686")
  endif()
  set(VERSION ${PROJECT_VERSION})
  configure_file(packaging/README-windows.txt.in README.txt @ONLY NEWLINE_STYLE CRLF)
  configure_file(LICENSE LICENSE.txt @ONLY NEWLINE_STYLE CRLF)
  install(TARGETS tavo RUNTIME DESTINATION .)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/README.txt ${CMAKE_CURRENT_BINARY_DIR}/LICENSE.txt
    doc/tavo-result.schema.json DESTINATION .)

  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME tavo-${PROJECT_VERSION}-${TAVO_WINDOWS_NAME})
else()
  # Manuals and Debian's documents are installed compressed as gzip -9n makes
  # them: the same bytes from every build.
  find_program(GZIP gzip REQUIRED)
  function(tavo_gzip source output)
    add_custom_command(OUTPUT ${output}
      COMMAND ${GZIP} -9nc ${CMAKE_CURRENT_SOURCE_DIR}/${source} > ${output}
      DEPENDS ${source} VERBATIM)
  endfunction()
  tavo_gzip(doc/tavo.1 tavo.1.gz)
  tavo_gzip(packaging/changelog changelog.gz)
  add_custom_target(tavo_docs ALL DEPENDS tavo.1.gz changelog.gz)

  # The compiler and the C library's start files each leave their version in a
  # .comment section, which nothing reads; the program goes without it.
  add_custom_command(TARGET tavo POST_BUILD
    COMMAND ${CMAKE_OBJCOPY} --remove-section=.comment $<TARGET_FILE:tavo> VERBATIM)
  install(TARGETS tavo RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/tavo.1.gz
    DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  # Where bash-completion looks for a command's completion when it is first typed.
  install(FILES packaging/tavo.bash-completion
    DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME tavo)
  # The schema of --json's result files, which the manual names.
  install(FILES doc/tavo-result.schema.json DESTINATION ${CMAKE_INSTALL_DOCDIR})
  # Only the package carries Debian's copyright file and changelog.
  install(FILES packaging/copyright ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT debian EXCLUDE_FROM_ALL)

  set(TAVO_MAINTAINER "the tavo developers <tavo@example.org>" CACHE STRING
    "Maintainer field of the Debian package")
  set(CPACK_GENERATOR DEB)
  set(CPACK_INSTALL_CMAKE_PROJECTS
    "${CMAKE_BINARY_DIR};tavo;ALL;/" "${CMAKE_BINARY_DIR};tavo;debian;/")
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${TAVO_MAINTAINER})
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # CPack puts the summary above this as the Description's first line.
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "tavo reads a file, a whole disk or a file on a network share from start to end
and reports how fast that went. While it reads it can copy what it reads into
an output file, block by block at the same offsets; the copy is resumable, and
blocks that cannot be read are counted, reported and stepped over, so that
what can be read from a damaged medium is read.")
  find_program(DPKG_SHLIBDEPS dpkg-shlibdeps)
  if(CMAKE_CROSSCOMPILING)
    # The package is for the target's architecture, and so are its dependencies;
    # cmake/cross-depends.cmake works them out when CPack runs.
    set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${TAVO_DEB_ARCH})
    set(CPACK_TAVO_DEB_ARCH ${TAVO_DEB_ARCH})
    set(CPACK_TAVO_PROGRAM ${CMAKE_BINARY_DIR}/tavo)
    set(CPACK_TAVO_LIBRARY_DIR ${CMAKE_FIND_ROOT_PATH}/lib)
    set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/cross-depends.cmake)
  elseif(DPKG_SHLIBDEPS)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  else()
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libstdc++6, libgcc-s1")
  endif()
endif()

include(CPack)
