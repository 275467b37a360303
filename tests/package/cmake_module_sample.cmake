# The kit as a user meets it: installed into a fresh prefix, found by find_package from the
# samples/cmake-app project, whose build compiles its installer; the installer then runs
# unattended and the installed program works. Also checks that the installer is compiled again
# when a packed file changes, and not when nothing did.
#
#   cmake -DBUILD_DIR=... -DSAMPLE=... -DWORK=... -DGENERATOR=... -DCXX=... [-DLAUNCHER=...]
#         -P cmake_module_sample.cmake
foreach(_var BUILD_DIR SAMPLE WORK GENERATOR CXX)
  if(NOT DEFINED ${_var})
    message(FATAL_ERROR "${_var} is not set")
  endif()
endforeach()

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE _code OUTPUT_VARIABLE _out ERROR_VARIABLE _out)
  if(NOT _code EQUAL 0)
    message(FATAL_ERROR "failed (${_code}): ${ARGN}\n${_out}")
  endif()
  set(run_output "${_out}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${WORK})
set(prefix ${WORK}/prefix)
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
foreach(_file bin/setupc lib/setupkit/setup lib/setupkit/setup-window
        share/setupkit/languages/install/english.wri share/setupkit/layout/install/Pages.txt
        share/man/man1/setupc.1.gz share/cmake/setupkit/setupkitConfig.cmake)
  if(NOT EXISTS ${prefix}/${_file})
    message(FATAL_ERROR "cmake --install wrote no ${_file}")
  endif()
endforeach()

# Every relative link of the installed manual names a file that was installed with it.
file(GLOB _pages ${prefix}/share/doc/setupkit/*.md)
if(NOT _pages)
  message(FATAL_ERROR "cmake --install wrote no manual")
endif()
foreach(_page ${_pages})
  file(READ ${_page} _text)
  # Brackets and semicolons would change how CMake splits the list of links.
  string(REPLACE "](" "<link>" _text "${_text}")
  string(REGEX REPLACE "[][;]" " " _text "${_text}")
  string(REGEX MATCHALL "<link>[^)#: ]+[)#]" _links "${_text}")
  foreach(_link ${_links})
    string(REGEX REPLACE "^<link>|[)#]$" "" _target "${_link}")
    get_filename_component(_folder ${_page} DIRECTORY)
    if(NOT EXISTS ${_folder}/${_target})
      message(FATAL_ERROR "${_page} links ${_target}, which is not installed")
    endif()
  endforeach()
endforeach()

# The sample is copied so the test can change its files.
file(COPY ${SAMPLE}/ DESTINATION ${WORK}/source)
set(_configure ${CMAKE_COMMAND} -S ${WORK}/source -B ${WORK}/build -G ${GENERATOR}
    -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_CXX_COMPILER=${CXX} -DCMAKE_BUILD_TYPE=Release)
if(LAUNCHER)
  list(APPEND _configure -DCMAKE_CXX_COMPILER_LAUNCHER=${LAUNCHER})
endif()
run(${_configure})
run(${CMAKE_COMMAND} --build ${WORK}/build)
set(installer ${WORK}/build/TallySetup.exe)
if(NOT EXISTS ${installer})
  message(FATAL_ERROR "the sample's build made no installer:\n${run_output}")
endif()

# Nothing changed: the installer is not compiled again.
run(${CMAKE_COMMAND} --build ${WORK}/build)
if(run_output MATCHES "Compiling the installer")
  message(FATAL_ERROR "a build with nothing changed compiled the installer again:\n${run_output}")
endif()
# A packed file changed: it is.
file(APPEND ${WORK}/source/README.txt "Second edition.\n")
run(${CMAKE_COMMAND} --build ${WORK}/build)
if(NOT run_output MATCHES "Compiling the installer")
  message(FATAL_ERROR "a changed packed file did not compile the installer again:\n${run_output}")
endif()

set(root ${WORK}/root)
run(${CMAKE_COMMAND} -E env SETUP_ROOT=${root} SETUP_NO_DESKTOP_ENTRIES=1
    ${installer} --unattended)
set(installed "${root}/drive_c/Program Files/Tally")
file(READ "${installed}/README.txt" _readme)
if(NOT _readme MATCHES "Second edition")
  message(FATAL_ERROR "the installed README is not the changed one:\n${_readme}")
endif()
run("${installed}/bin/tally" "${installed}/README.txt")
if(NOT run_output MATCHES "^6 24 146 ")
  message(FATAL_ERROR "the installed tally counted wrong: ${run_output}")
endif()
file(REMOVE_RECURSE ${WORK})
