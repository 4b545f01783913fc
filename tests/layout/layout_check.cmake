# The frame the layout checks share (each run as cmake -P with -DROOT=...).

# ROOT made absolute; fails naming the check when it names no directory.
macro(layout_check_root check)
  if(NOT ROOT OR NOT IS_DIRECTORY "${ROOT}")
    message(FATAL_ERROR "${check}: ROOT must name the source directory (got '${ROOT}')")
  endif()
  get_filename_component(ROOT "${ROOT}" ABSOLUTE)
endmacro()

# The end of a check that read `checked` files: fails when it read none, or
# with headline followed by the faults when it found any; else reports
# success.
function(layout_check_report check checked faults headline success)
  if(checked EQUAL 0)
    message(FATAL_ERROR "${check}: no source files under ${ROOT}")
  endif()
  if(faults)
    message(FATAL_ERROR "${headline}${faults}")
  endif()
  message(STATUS "${success}")
endfunction()
