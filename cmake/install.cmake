# What `cmake --install` puts under the prefix: the compiler and the archive tool, the programs
# every installer carries, the stock data, the documentation with its man pages, and the CMake
# package with which a project builds its installer. Medalor is a sample, not part of the kit.
include(CMakePackageConfigHelpers)
set(SETUPKIT_PACKAGE_MAINTAINER "setupkit developers <setupkit@example.org>"
    CACHE STRING "Maintainer of the Debian package (its control file and change log)")

install(TARGETS setupc setup-archive RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# setupc copies these into each installer; nobody starts them from here.
install(TARGETS setup setup-window RUNTIME DESTINATION ${SETUPKIT_INSTALL_PROGRAMSDIR})
install(DIRECTORY data/languages data/layout DESTINATION ${SETUPKIT_INSTALL_DATADIR}
        PATTERN "*.py" EXCLUDE)

# The manual, flat in the documentation folder beside the README, with the pictures it shows.
# In the source tree the README links the pages as docs/NAME.md and they link it as
# ../README.md; the installed copies link each other where they lie then.
file(GLOB _manual_pages CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/docs/*.md)
foreach(_page ${PROJECT_SOURCE_DIR}/README.md ${_manual_pages})
  get_filename_component(_name ${_page} NAME)
  file(READ ${_page} _text)
  string(REPLACE "](docs/" "](" _text "${_text}")
  string(REPLACE "](../README.md" "](README.md" _text "${_text}")
  file(WRITE ${CMAKE_BINARY_DIR}/doc/${_name} "${_text}")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${_page})
  install(FILES ${CMAKE_BINARY_DIR}/doc/${_name} DESTINATION ${CMAKE_INSTALL_DOCDIR})
endforeach()
file(GLOB _manual_pictures CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/docs/*.png)
install(FILES ${_manual_pictures} DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(DIRECTORY docs/screenshots DESTINATION ${CMAKE_INSTALL_DOCDIR})
# The two samples to start from: a script to copy, and a CMake project that builds its installer.
install(DIRECTORY samples/hello samples/cmake-app DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
install(FILES cmake/package/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})

# Man pages and the change log are compressed, as a Debian system keeps them (gzip -9n: no name
# or time stamp in the header, so the package is the same on every build).
find_program(SETUPKIT_GZIP gzip REQUIRED)
function(setupkit_gzipped source name)
  set(_copy ${CMAKE_BINARY_DIR}/package/${name})
  add_custom_command(OUTPUT ${_copy}.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${source} ${_copy}
    COMMAND ${SETUPKIT_GZIP} -9nf ${_copy}
    DEPENDS ${source} VERBATIM)
  set_property(GLOBAL APPEND PROPERTY SETUPKIT_GZIPPED ${_copy}.gz)
endfunction()
set(_man_pages setupc setup setup-archive)
foreach(_page IN LISTS _man_pages)
  setupkit_gzipped(${PROJECT_SOURCE_DIR}/docs/man/${_page}.1 ${_page}.1)
  install(FILES ${CMAKE_BINARY_DIR}/package/${_page}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
configure_file(cmake/package/changelog.in ${CMAKE_BINARY_DIR}/package/changelog.source @ONLY)
setupkit_gzipped(${CMAKE_BINARY_DIR}/package/changelog.source changelog)
install(FILES ${CMAKE_BINARY_DIR}/package/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})
get_property(_gzipped GLOBAL PROPERTY SETUPKIT_GZIPPED)
add_custom_target(setupkit_package_files ALL DEPENDS ${_gzipped})

# find_package(setupkit): the setupc program and setupkit_add_installer().
set(_config_dir ${CMAKE_INSTALL_DATADIR}/cmake/setupkit)
configure_package_config_file(cmake/package/setupkitConfig.cmake.in
  ${CMAKE_BINARY_DIR}/package/setupkitConfig.cmake
  INSTALL_DESTINATION ${_config_dir} PATH_VARS CMAKE_INSTALL_BINDIR)
write_basic_package_version_file(${CMAKE_BINARY_DIR}/package/setupkitConfigVersion.cmake
  COMPATIBILITY SameMajorVersion ARCH_INDEPENDENT)
install(FILES ${CMAKE_BINARY_DIR}/package/setupkitConfig.cmake
              ${CMAKE_BINARY_DIR}/package/setupkitConfigVersion.cmake
              cmake/package/setupkit_add_installer.cmake
        DESTINATION ${_config_dir})

include(cmake/package/debian.cmake)
