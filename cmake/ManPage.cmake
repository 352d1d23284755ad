# Manual pages: each program keeps its page as scdoc source beside its code; the build turns it into
# roff and the install puts it in the section its name ends with.
include(GNUInstallDirs)
find_program(VELLUMET_SCDOC scdoc REQUIRED)

# vellumet_add_man_page(<source>): <source> is "<name>.<section>.scd" in the current folder. Defines
# the target <name>.<section>-man-page, built by default, whose output path is stored in the
# variable VELLUMET_MAN_PAGE_<name> for tests.
function(vellumet_add_man_page source)
  string(REGEX MATCH "^(.+)\\.([1-9])\\.scd$" matched "${source}")
  if(NOT matched)
    message(FATAL_ERROR "vellumet_add_man_page: ${source} is not named <name>.<section>.scd")
  endif()
  set(name ${CMAKE_MATCH_1})
  set(section ${CMAKE_MATCH_2})
  set(output ${CMAKE_CURRENT_BINARY_DIR}/${name}.${section})
  add_custom_command(OUTPUT ${output}
    COMMAND sh -c "\"$0\" < \"$1\" > \"$2\"" ${VELLUMET_SCDOC} ${CMAKE_CURRENT_SOURCE_DIR}/${source} ${output}
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${source}
    COMMENT "Building the manual page ${name}(${section})"
    VERBATIM)
  add_custom_target(${name}.${section}-man-page ALL DEPENDS ${output})
  set(VELLUMET_MAN_PAGE_${name} ${output} CACHE INTERNAL "The built manual page of ${name}")
  install(FILES ${output} DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section})
endfunction()
