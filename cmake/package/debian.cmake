# The Debian package of the kit: `cpack -G DEB` in the build folder (scripts/make-package.sh)
# writes setupkit_VERSION_amd64.deb with what cmake --install puts under /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME setupkit)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "script-driven installer kit: compiler, runtime, page sets")
# Lines of the long description stay under 80 columns, as Debian tools show them.
set(CPACK_PACKAGE_DESCRIPTION
    "setupkit turns a setup script into a single-file installer. The package holds\n"
    "the compiler setupc, the installer runtime and window program every installer\n"
    "is made of, the stock page sets and language tables, setup-archive for pak\n"
    "archives and VFS containers, the manual, and a CMake package whose\n"
    "setupkit_add_installer() compiles an installer as part of a project's build.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${SETUPKIT_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE amd64)
# The dependencies come from the shared libraries the installed programs link (dpkg-shlibdeps);
# the runtime is static, the window program links Qt 6.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The static programs and what they carry inside are so by design (see the overrides file).
install(FILES ${CMAKE_CURRENT_LIST_DIR}/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
        RENAME setupkit)
include(CPack)
