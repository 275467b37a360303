# The programs that installers carry (the runtime, its uninstaller copy, setup-finalise) must
# start on any x86-64 Linux with no package added, so they are linked as static executables:
# static libstdc++, glibc and libdeflate from Debian's own archives. Every other
# program links the shared libraries as usual.
#
# The engine links its deflate library through the target below, which names the static archive
# when the program being linked is marked SETUPKIT_STATIC_RUNTIME, the shared library otherwise.
# (zlib itself only serves the tests, as the reference for the kit's streams.)
find_library(SETUPKIT_DEFLATE_ARCHIVE NAMES libdeflate.a REQUIRED)
find_library(SETUPKIT_SODIUM_LIBRARY NAMES sodium REQUIRED)
find_path(SETUPKIT_SODIUM_INCLUDE sodium.h REQUIRED)

set(_static_head "$<BOOL:$<TARGET_PROPERTY:SETUPKIT_STATIC_RUNTIME>>")
# The window program (SETUPKIT_STATIC_CODECS) takes libdeflate from its archive too: a machine
# with Qt 6 need not have it.
set(_static_deflate "$<OR:${_static_head},$<BOOL:$<TARGET_PROPERTY:SETUPKIT_STATIC_CODECS>>>")
add_library(setupkit_deflate INTERFACE)
target_link_libraries(setupkit_deflate INTERFACE
  "$<IF:${_static_deflate},${SETUPKIT_DEFLATE_ARCHIVE},PkgConfig::LIBDEFLATE>")
# Ed25519 keys and signatures, for setupc alone (and tests that check the engine against it): the
# programs installers carry only verify, with code of the engine's own.
add_library(setupkit_sodium INTERFACE)
target_include_directories(setupkit_sodium INTERFACE ${SETUPKIT_SODIUM_INCLUDE})
target_link_libraries(setupkit_sodium INTERFACE ${SETUPKIT_SODIUM_LIBRARY})

# Functions whose code is identical byte for byte (template instances above all) are kept once
# where the linker can: gold folds those whose address nothing takes ("safe"), which leaves
# every comparison of function pointers as it was. It takes about 2% off the runtime.
include(CheckCXXSourceCompiles)
set(CMAKE_REQUIRED_LINK_OPTIONS -fuse-ld=gold -Wl,--icf=safe)
check_cxx_source_compiles("int main() { return 0; }" SETUPKIT_LINKER_FOLDS_CODE)
unset(CMAKE_REQUIRED_LINK_OPTIONS)

# A program that installers carry (as their runtime or in their package): the sections of what
# it links that it never reaches are dropped (every object is compiled with a section per
# function and per datum), and identical functions folded (not in sanitized builds, whose
# reports should name the function that ran).
function(setupkit_carried_program target)
  if(SETUPKIT_FUZZ)
    return()
  endif()
  target_link_options(${target} PRIVATE -Wl,--gc-sections)
  if(SETUPKIT_LINKER_FOLDS_CODE AND NOT CMAKE_CXX_FLAGS MATCHES "-fsanitize")
    target_link_options(${target} PRIVATE -fuse-ld=gold -Wl,--icf=safe)
  endif()
endfunction()

# Links TARGET as a static executable and adds it to the programs whose dependencies the
# runtime_dependencies test checks. A sanitizer build (the fuzzers, scripts/test-sanitized.sh)
# cannot link statically: there the program stays dynamic and unchecked.
function(setupkit_static_runtime target)
  if(SETUPKIT_FUZZ OR CMAKE_CXX_FLAGS MATCHES "-fsanitize" OR CMAKE_EXE_LINKER_FLAGS MATCHES "-fsanitize")
    return()
  endif()
  set_target_properties(${target} PROPERTIES SETUPKIT_STATIC_RUNTIME ON)
  # Unused sections of the archives are dropped: the C and C++ libraries hold much that these
  # programs never call.
  target_link_options(${target} PRIVATE -static)
  setupkit_carried_program(${target})
  set_property(GLOBAL APPEND PROPERTY SETUPKIT_RUNTIME_PROGRAMS ${target})
endfunction()

# The test that reads each carried program's dynamic section: it passes for a static program or
# one that needs only libc, libm and the loader at glibc 2.31 or older (Debian 11), and fails on
# anything else. A second test proves the check refuses a program linked to Qt.
function(setupkit_add_runtime_dependency_tests)
  get_property(_programs GLOBAL PROPERTY SETUPKIT_RUNTIME_PROGRAMS)
  if(NOT _programs)
    return()
  endif()
  find_program(SETUPKIT_READELF NAMES readelf REQUIRED)
  set(_files)
  foreach(_program IN LISTS _programs)
    list(APPEND _files $<TARGET_FILE:${_program}>)
  endforeach()
  set(_check ${CMAKE_COMMAND} -DREADELF=${SETUPKIT_READELF} -DGLIBC_FLOOR=2.31
             -P ${PROJECT_SOURCE_DIR}/cmake/check_runtime_dependencies.cmake)
  add_test(NAME runtime_dependencies COMMAND ${_check} ${_files})
  set_tests_properties(runtime_dependencies PROPERTIES LABELS runtime)
  # The window program may need Qt 6 and what Debian's Qt 6 GUI library itself depends on (so a
  # desktop with Qt 6 has it), nothing else: libwmf and the rest are linked in.
  if(TARGET setup-window)
    set(_qt_closure libQt6Widgets.so.6 libQt6Gui.so.6 libQt6Core.so.6 libstdc++.so.6 libgcc_s.so.1
                    libjpeg.so.62 libpng16.so.16 libfreetype.so.6 libfontconfig.so.1 libexpat.so.1
                    libz.so.1 libX11.so.6 libGLX.so.0 libOpenGL.so.0 libEGL.so.1)
    string(REPLACE ";" "\\;" _qt_closure "${_qt_closure}")
    add_test(NAME window_dependencies
             COMMAND ${CMAKE_COMMAND} -DREADELF=${SETUPKIT_READELF} -DALSO_ALLOWED=${_qt_closure}
                     -P ${PROJECT_SOURCE_DIR}/cmake/check_runtime_dependencies.cmake
                     $<TARGET_FILE:setup-window>)
    set_tests_properties(window_dependencies PROPERTIES LABELS runtime)
  endif()
  if(TARGET Medalor)
    add_test(NAME runtime_dependencies_refuse_qt COMMAND ${_check} $<TARGET_FILE:Medalor>)
    set_tests_properties(runtime_dependencies_refuse_qt PROPERTIES LABELS runtime WILL_FAIL TRUE)
  endif()
endfunction()
