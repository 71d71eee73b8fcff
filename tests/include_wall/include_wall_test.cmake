# Builds the include wall's probes (tests/CMakeLists.txt): each is one small source compiled with
# the include folders of a system library or of an outside stand-in. The ones that reach the
# machine or a platform library's private header must fail, with the compiler saying it cannot
# find that header; the ones that include only what their side may see must build.
#   cmake -DBUILD_DIR=<build folder> -P include_wall_test.cmake

if(NOT DEFINED BUILD_DIR)
  message(FATAL_ERROR "usage: cmake -DBUILD_DIR=<build folder> -P ${CMAKE_CURRENT_LIST_FILE}")
endif()

set(failures)
# expect: BUILDS, or the header the compiler must say it cannot find.
function(probe target expect)
  execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} --target ${target}
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  set(all "${out}${err}")
  if(expect STREQUAL "BUILDS")
    if(NOT rc EQUAL 0)
      set(failures "${failures}\n${target}: expected to build:\n${all}" PARENT_SCOPE)
    else()
      message(STATUS "${target}: builds")
    endif()
    return()
  endif()
  string(REGEX MATCH "[^\n]*${expect}[^\n]*(No such file or directory|file not found)[^\n]*" said
         "${all}")
  if(rc EQUAL 0)
    set(failures "${failures}\n${target}: built, expected the compiler to refuse ${expect}" PARENT_SCOPE)
  elseif(NOT said)
    set(failures "${failures}\n${target}: failed, but not for ${expect}:\n${all}" PARENT_SCOPE)
  else()
    message(STATUS "${target}: refused: ${said}")
  endif()
endfunction()

probe(wall_probe_system_public BUILDS)
probe(wall_probe_system_machine "machine/machine.h")
probe(wall_probe_system_control "machine/control/devices.h")
probe(wall_probe_system_private "platform/user32/classes.h")
probe(wall_probe_outside_control BUILDS)
probe(wall_probe_outside_machine "machine/handles.h")

if(failures)
  message(FATAL_ERROR "include wall:${failures}")
endif()
