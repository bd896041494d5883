# Starts PROGRAM with no usable display (DISPLAY_NAME unset when empty, else one nobody serves)
# and checks that it ends with one line of its own on stderr instead of Qt's abort; with SAME_AS,
# the line that program gives.
set(environment --unset=WAYLAND_DISPLAY --unset=QT_QPA_PLATFORM)
if(DISPLAY_NAME STREQUAL "")
  list(APPEND environment --unset=DISPLAY)
else()
  list(APPEND environment DISPLAY=${DISPLAY_NAME})
endif()
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env ${environment} ${PROGRAM}
  RESULT_VARIABLE result
  OUTPUT_VARIABLE output
  ERROR_VARIABLE errors
  TIMEOUT 20
)
if(NOT result EQUAL 1)
  message(FATAL_ERROR "exit status ${result}, expected 1; stderr:\n${errors}")
endif()
if(NOT output STREQUAL "")
  message(FATAL_ERROR "unexpected output:\n${output}")
endif()
if(NOT errors MATCHES "^Tessaril [^\n]*\n$" AND NOT errors MATCHES "^Kein Bildschirm [^\n]*\n$")
  message(FATAL_ERROR "expected one line of the program's own, got:\n${errors}")
endif()
# SAME_AS names a second program that must end with the very same line.
if(DEFINED SAME_AS)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env ${environment} ${SAME_AS}
    ERROR_VARIABLE same_errors TIMEOUT 20)
  if(NOT errors STREQUAL same_errors)
    message(FATAL_ERROR "said:\n${errors}while ${SAME_AS} said:\n${same_errors}")
  endif()
endif()
message(STATUS "${errors}")
