# SPDX-License-Identifier: MIT
# Manual pages made from a program's --help by help2man, when it is there,
# and installed in section 1 of the given component. The "Exit status:"
# paragraph of --help becomes the EXIT STATUS section; the include file adds
# the rest (EXAMPLES, SEE ALSO).
include(GNUInstallDirs)
find_program(VARNOKET_HELP2MAN help2man)

# varnoket_add_manual(TARGET NAME-LINE INCLUDE-FILE COMPONENT)
function(varnoket_add_manual target name include component)
  if(NOT VARNOKET_HELP2MAN OR CMAKE_CROSSCOMPILING)
    message(STATUS "help2man not found: ${target} is built without its manual page")
    return()
  endif()
  set(manual ${CMAKE_CURRENT_BINARY_DIR}/${target}.1)
  add_custom_command(OUTPUT ${manual}.gz
    COMMAND ${VARNOKET_HELP2MAN} --no-info --section=1 "--name=${name}"
      --include=${include} --output=${manual} $<TARGET_FILE:${target}>
    COMMAND sed -i -e "s/^\\.SS \"Exit status:\"\$/.SH \"EXIT STATUS\"/" ${manual}
    COMMAND gzip -9nf ${manual}
    DEPENDS ${target} ${include}
    COMMENT "Writing the manual page ${target}.1"
    VERBATIM)
  add_custom_target(${target}-manual ALL DEPENDS ${manual}.gz)
  install(FILES ${manual}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT ${component})
endfunction()
