# setupkit_add_installer(NAME SCRIPT file.setup [SOURCE dir] [OUTPUT dir] [DEPENDS targets...])
#
# Adds the target NAME (built by default) that compiles the setup script into its installer with
# setupc. The installer is compiled again when the script, a file it packs, a folder it packs
# files from, or one of the DEPENDS targets changes: setupc lists what it read in a dependency
# file. SOURCE is the folder the script's relative sources are read from (default: the script's
# folder); OUTPUT the folder the installer is written to (default: the current binary folder).
# Relative SCRIPT and SOURCE are taken from the current source folder, a relative OUTPUT from the
# current binary folder. The installer's file name is the script's outfile line.
function(setupkit_add_installer name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "SCRIPT;SOURCE;OUTPUT" "DEPENDS")
  if(arg_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "setupkit_add_installer(${name}): unknown arguments: ${arg_UNPARSED_ARGUMENTS}")
  endif()
  if(NOT arg_SCRIPT)
    message(FATAL_ERROR "setupkit_add_installer(${name}): SCRIPT is required")
  endif()
  cmake_path(ABSOLUTE_PATH arg_SCRIPT BASE_DIRECTORY "${CMAKE_CURRENT_SOURCE_DIR}"
             NORMALIZE OUTPUT_VARIABLE script)
  set(output "${CMAKE_CURRENT_BINARY_DIR}")
  if(arg_OUTPUT)
    cmake_path(ABSOLUTE_PATH arg_OUTPUT BASE_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}"
               NORMALIZE OUTPUT_VARIABLE output)
  endif()
  set(source)
  if(arg_SOURCE)
    cmake_path(ABSOLUTE_PATH arg_SOURCE BASE_DIRECTORY "${CMAKE_CURRENT_SOURCE_DIR}"
               NORMALIZE OUTPUT_VARIABLE source_dir)
    set(source --source "${source_dir}")
  endif()
  # The installer's name is the script's to choose, so the build tracks a stamp file instead;
  # setupc names it as the target of its dependency list.
  set(work "${CMAKE_CURRENT_BINARY_DIR}/setupkit/${name}")
  set(stamp "${work}/installer.stamp")
  add_custom_command(OUTPUT "${stamp}"
    COMMAND "${CMAKE_COMMAND}" -E make_directory "${output}" "${work}"
    COMMAND setupkit::setupc -q -o "${output}" ${source}
            --depfile "${work}/installer.d" --depfile-target "${stamp}" "${script}"
    COMMAND "${CMAKE_COMMAND}" -E touch "${stamp}"
    DEPENDS "${script}" "$<TARGET_FILE:setupkit::setupc>" ${arg_DEPENDS}
    DEPFILE "${work}/installer.d"
    COMMENT "Compiling the installer ${name} from ${arg_SCRIPT}"
    VERBATIM)
  add_custom_target(${name} ALL DEPENDS "${stamp}")
endfunction()
