# The project's own targets call this; third-party code keeps its own flags.
function(tessaril_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wconversion -Wsign-conversion)
  if(TESSARIL_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# Hardened as Debian builds its own programs: fortified library calls (which need optimisation),
# a stack protector, relocations made read-only at start and a position-independent executable.
# The sanitizers and libFuzzer bring their own checks and do without these.
macro(tessaril_hardening)
  set(CMAKE_POSITION_INDEPENDENT_CODE ON)
  include(CheckPIESupported)
  check_pie_supported()
  add_compile_options($<$<NOT:$<CONFIG:Debug>>:-D_FORTIFY_SOURCE=2> -fstack-protector-strong)
  if(WIN32)
    # Windows programs have no ELF relocations to protect; mingw-w64 takes the stack protector's
    # and the fortified calls' checks from libssp, which the option at link time brings in.
    add_link_options(-fstack-protector-strong -Wl,--dynamicbase,--nxcompat,--high-entropy-va)
  else()
    add_link_options(-Wl,-z,relro,-z,now)
  endif()
endmacro()
