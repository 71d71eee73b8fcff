# modem_system_libraries(<var>): the system's code libraries that this build has, for the programs
# that exercise all of them (fuzz targets, benchmarks).
function(modem_system_libraries var)
  set(_libs)
  foreach(lib support textfiles docking dm app_core app_ui service_core installer_core)
    if(TARGET ${lib})
      list(APPEND _libs ${lib})
    endif()
  endforeach()
  set(${var} ${_libs} PARENT_SCOPE)
endfunction()
