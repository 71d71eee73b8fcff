# The include wall between the system's code and the simulated machine.
#
# The system's code folders reach the machine only through the platform's Windows interfaces:
# they include neither the machine's headers (platform/sim/) nor its control API
# (platform/control/). The outside stand-ins use the control API but not the machine's headers.
#
# The top-level CMakeLists.txt includes this file and calls modem_check_includes() at configure
# time. Run as a script it checks the tree at ROOT:
#   cmake -DROOT=<source tree> -P cmake/check_includes.cmake
# Either way it fails with a FATAL_ERROR that names every offending file and line.

# Folders (relative to the root) and the include prefixes their sources may not use.
set(MODEM_WALL_SYSTEM_FOLDERS support textfiles docking app service installer dm)
set(MODEM_WALL_SYSTEM_FORBIDDEN "platform/sim/" "platform/control/")
set(MODEM_WALL_OUTSIDE_FOLDERS outside)
set(MODEM_WALL_OUTSIDE_FORBIDDEN "platform/sim/")
set(MODEM_WALL_PATTERNS *.c *.cc *.cpp *.cxx *.h *.hh *.hpp *.hxx *.inl *.ipp)

# Every source file below the folders (relative to root) into out_var.
function(modem_wall_sources root folders out_var)
  set(globs)
  foreach(folder IN LISTS folders)
    foreach(pattern IN LISTS MODEM_WALL_PATTERNS)
      list(APPEND globs "${root}/${folder}/${pattern}")
    endforeach()
  endforeach()
  file(GLOB_RECURSE files LIST_DIRECTORIES false ${globs})
  list(SORT files)
  set(${out_var} ${files} PARENT_SCOPE)
endfunction()

# Appends "<file>:<line>: #include <path>" to out_var for every include of a forbidden prefix.
function(modem_wall_scan root file forbidden out_var)
  file(READ "${file}" text)
  set(alternatives)
  foreach(prefix IN LISTS forbidden)
    string(REGEX REPLACE "([.+*?^$()|])" "\\\\\\1" escaped "${prefix}")
    list(APPEND alternatives "${escaped}")
  endforeach()
  list(JOIN alternatives "|" alternation)
  # A quick look first: most files name none of the prefixes at all.
  if(NOT text MATCHES "(${alternation})")
    return()
  endif()
  # One list element per line: characters that CMake lists treat specially are masked first.
  string(REPLACE "\\" "<bs>" text "${text}")
  string(REPLACE ";" "<sc>" text "${text}")
  string(REPLACE "[" "<lb>" text "${text}")
  string(REPLACE "]" "<rb>" text "${text}")
  string(REPLACE "\r" "" text "${text}")
  string(REPLACE "\n" ";" lines "${text}")
  file(RELATIVE_PATH shown "${root}" "${file}")
  set(found ${${out_var}})
  set(number 0)
  foreach(line IN LISTS lines)
    math(EXPR number "${number} + 1")
    # The included path, also when reached through "../" or written with angle brackets.
    if(line MATCHES "^[ \t]*#[ \t]*include[ \t]*[<\"]([^>\"]*)[>\"]")
      set(included "${CMAKE_MATCH_1}")
      if(included MATCHES "(^|/)(${alternation})")
        list(APPEND found "${shown}:${number}: #include \"${included}\"")
      endif()
    endif()
  endforeach()
  set(${out_var} ${found} PARENT_SCOPE)
endfunction()

# Checks the tree at root; FATAL_ERROR naming every offending include.
function(modem_check_includes root)
  get_filename_component(root "${root}" ABSOLUTE)
  set(offences)
  foreach(kind SYSTEM OUTSIDE)
    modem_wall_sources("${root}" "${MODEM_WALL_${kind}_FOLDERS}" files)
    foreach(file IN LISTS files)
      modem_wall_scan("${root}" "${file}" "${MODEM_WALL_${kind}_FORBIDDEN}" offences)
    endforeach()
  endforeach()
  if(offences)
    list(JOIN offences "\n  " listed)
    list(JOIN MODEM_WALL_SYSTEM_FOLDERS ", " system)
    message(FATAL_ERROR
      "Includes across the machine's wall:\n  ${listed}\n"
      "The system's code (${system}) calls only the platform's Windows "
      "interfaces (platform/*.h): no platform/sim/ or platform/control/ headers. The outside "
      "stand-ins reach the machine through platform/control/, not platform/sim/.")
  endif()
endfunction()

# The sources the check reads (relative paths into out_var), for rerunning it when they change.
function(modem_check_includes_inputs root out_var)
  modem_wall_sources("${root}" "${MODEM_WALL_SYSTEM_FOLDERS};${MODEM_WALL_OUTSIDE_FOLDERS}" files)
  set(${out_var} ${files} PARENT_SCOPE)
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  if(NOT DEFINED ROOT)
    message(FATAL_ERROR "usage: cmake -DROOT=<source tree> -P ${CMAKE_CURRENT_LIST_FILE}")
  endif()
  modem_check_includes("${ROOT}")
endif()
