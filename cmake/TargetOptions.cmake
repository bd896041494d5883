# The project's own targets call this; third-party code keeps its own flags.
function(tessaril_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wconversion -Wsign-conversion)
  if(TESSARIL_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# The conversion core runs once per catalogue line; -O3 measurably speeds up taking lines over
# the -O2 of RelWithDebInfo.
function(tessaril_hot_path target)
  target_compile_options(${target} PRIVATE $<$<CONFIG:RelWithDebInfo,Release>:-O3>)
endfunction()
