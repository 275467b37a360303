# Fails when a source file includes a header from a folder above its own (or from a sibling of
# the same rank), so the layering holds by build rather than by habit.
# Run as: cmake -DSOURCE_DIR=... -P check_layers.cmake
set(_layers
  "platform:0" "setup/io:1" "setup/core:2" "setup/text:3" "setup/errorlog:4"
  "setup/archive:5" "setup/vfs:5" "setup/commands:6" "setup/runtime:7" "setup/session:8" "setup/controls:8"
  "setup/views/qt:9" "setup/views/unattended:9" "setup/views/terminal:9" "setup/views/remote:9" "setup/app:10" "tools/setupc:10" "tools/finalise:10" "tools/archive:10"
  "medalor:1" "medalor/ui:2" "medalor/app:3" "medalor/artwork:3")

function(_rank_of folder out)
  set(_best -1)
  set(_best_len 0)
  foreach(_entry IN LISTS _layers)
    string(REPLACE ":" ";" _pair "${_entry}")
    list(GET _pair 0 _name)
    list(GET _pair 1 _rank)
    string(LENGTH "${_name}" _len)
    if((folder STREQUAL _name OR folder MATCHES "^${_name}/") AND _len GREATER _best_len)
      set(_best ${_rank})
      set(_best_len ${_len})
      set(_best_name ${_name})
    endif()
  endforeach()
  set(${out} ${_best} PARENT_SCOPE)
  set(${out}_name "${_best_name}" PARENT_SCOPE)
endfunction()

file(GLOB_RECURSE _files RELATIVE ${SOURCE_DIR}
  ${SOURCE_DIR}/platform/*.cpp ${SOURCE_DIR}/platform/*.h
  ${SOURCE_DIR}/setup/*.cpp ${SOURCE_DIR}/setup/*.h
  ${SOURCE_DIR}/tools/*.cpp ${SOURCE_DIR}/tools/*.h
  ${SOURCE_DIR}/medalor/*.cpp ${SOURCE_DIR}/medalor/*.h)
set(_faults "")
foreach(_file IN LISTS _files)
  get_filename_component(_dir ${_file} DIRECTORY)
  _rank_of("${_dir}" _own)
  if(_own LESS 0)
    string(APPEND _faults "\n  ${_file}: folder has no layer")
    continue()
  endif()
  file(STRINGS ${SOURCE_DIR}/${_file} _includes REGEX "^#include \"")
  foreach(_line IN LISTS _includes)
    string(REGEX REPLACE "^#include \"([^\"]*)\".*" "\\1" _header "${_line}")
    get_filename_component(_hdir ${_header} DIRECTORY)
    if(_hdir STREQUAL "")
      continue()
    endif()
    _rank_of("${_hdir}" _theirs)
    if(_theirs LESS 0 OR _theirs_name STREQUAL _own_name)
      continue()
    endif()
    if(NOT _theirs LESS _own)
      string(APPEND _faults "\n  ${_file} includes ${_header}")
    endif()
  endforeach()
endforeach()
if(_faults)
  message(FATAL_ERROR "Includes that run up or across the layers:${_faults}")
endif()
