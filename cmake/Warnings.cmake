# The project's own targets call this; third-party code keeps its own flags.
function(tessaril_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wconversion -Wsign-conversion)
  if(TESSARIL_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
