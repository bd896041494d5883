# Run by cpack on its staging tree before it packs (CPACK_PRE_BUILD_SCRIPTS): removes from each
# program the sections Debian's dh_strip removes and a plain strip keeps, the compilers' names
# in .comment and the .note section.
file(GLOB programs "${CPACK_TEMPORARY_DIRECTORY}/usr/bin/*")
foreach(program IN LISTS programs)
  execute_process(
    COMMAND ${CPACK_TESSARIL_STRIP} --remove-section=.comment --remove-section=.note ${program}
    COMMAND_ERROR_IS_FATAL ANY
  )
endforeach()
