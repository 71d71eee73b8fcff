# modem_linked_file(<target> <symbol> <file>): links the file's bytes into the target, as a
# resource compiler links a program's icons. The program sees
#   extern const unsigned char <symbol>[];  extern const std::size_t <symbol>_size;
# The bytes are read when the build is configured (and again whenever the file changes).
function(modem_linked_file target symbol file)
  file(READ ${file} _hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," _bytes "${_hex}")
  file(SIZE ${file} _size)
  set(_out ${CMAKE_CURRENT_BINARY_DIR}/linked_${symbol}.cpp)
  file(CONFIGURE OUTPUT ${_out} CONTENT
"// Made by the build from ${file}.
#include <cstddef>
extern const unsigned char ${symbol}[] = {${_bytes}};
extern const std::size_t ${symbol}_size = ${_size};
")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${file})
  target_sources(${target} PRIVATE ${_out})
endfunction()
