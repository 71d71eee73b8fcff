# Runs the include wall's check (cmake -P) on small trees in a scratch folder: each case writes one
# source file and expects the check either to pass or to fail naming "<file>:<line>".
#   cmake -DCHECK=<cmake/check_includes.cmake> -DWORK=<scratch folder> -P include_wall_test.cmake

if(NOT DEFINED CHECK OR NOT DEFINED WORK)
  message(FATAL_ERROR "usage: cmake -DCHECK=<check script> -DWORK=<scratch folder> -P ${CMAKE_CURRENT_LIST_FILE}")
endif()

set(failures)
set(count 0)

# expect: PASS, or the "<file>:<line>" that the check's error must name.
function(wall_case expect file content)
  math(EXPR n "${count} + 1")
  set(count ${n} PARENT_SCOPE)
  set(root "${WORK}/case${n}")
  file(REMOVE_RECURSE "${root}")
  file(WRITE "${root}/${file}" "${content}")
  execute_process(COMMAND ${CMAKE_COMMAND} -DROOT=${root} -P ${CHECK}
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  set(problem)
  if(expect STREQUAL "PASS")
    if(NOT rc EQUAL 0)
      set(problem "refused a clean tree: ${err}")
    endif()
  elseif(rc EQUAL 0)
    set(problem "passed, expected a refusal naming ${expect}")
  else()
    string(FIND "${err}" "${expect}:" at)
    if(at EQUAL -1)
      set(problem "refused without naming ${expect}: ${err}")
    endif()
  endif()
  if(problem)
    set(failures ${failures} "case ${n} (${file}): ${problem}" PARENT_SCOPE)
  endif()
endfunction()

# System code: no machine headers, no control headers, however written.
wall_case("support/bad.cpp:2" "support/bad.cpp"
          "#include \"platform/kernel.h\"\n#include \"platform/sim/machine.h\"\n")
wall_case("app/ui.h:3" "app/ui.h"
          "#pragma once\n\n  #  include <platform/control/devices.h>\n")
wall_case("installer/program/main.cpp:1" "installer/program/main.cpp"
          "#include \"../../platform/sim/devices.h\"\n")
wall_case("service/watch.cpp:1" "service/watch.cpp" "#include\"platform/control/modules.h\"\n")
foreach(folder textfiles docking dm)
  wall_case("${folder}/x.cpp:1" "${folder}/x.cpp" "#include \"platform/sim/registry.h\"\n")
endforeach()
# Line numbers count blank lines and lines with characters CMake lists treat specially.
wall_case("app/count.cpp:7" "app/count.cpp"
          "int a[2];\n\n#define X(a) \\\n    a;\n/* ] [ */\n\n#include \"platform/sim/ras.h\"\n")
# The outside stand-ins: the control API, not the machine's headers.
wall_case("outside/tovrick/tovrick.cpp:2" "outside/tovrick/tovrick.cpp"
          "#include \"platform/control/devices.h\"\n#include \"platform/sim/devices.h\"\n")
wall_case(PASS "outside/harlune/harlune.cpp"
          "#include \"platform/control/modules.h\"\n#include \"platform/process.h\"\n")
# Allowed: the platform's Windows headers, names that only look alike, lines that are no
# includes, and the machine's users (tests, demos, the platform itself).
wall_case(PASS "support/ok.cpp"
          "#include \"platform/kernel.h\"\n#include \"myplatform/sim/x.h\"\n// #include \"platform/sim/machine.h\"\nconst char* p = \"platform/sim/\";\n")
wall_case(PASS "tests/app/t.cpp" "#include \"platform/sim/machine.h\"\n")
wall_case(PASS "demo/main.cpp" "#include \"platform/sim/machine.h\"\n")
wall_case(PASS "platform/files.cpp" "#include \"platform/sim/files.h\"\n")

file(REMOVE_RECURSE "${WORK}")
if(failures)
  list(JOIN failures "\n" listed)
  message(FATAL_ERROR "${listed}")
endif()
message(STATUS "${count} cases")
