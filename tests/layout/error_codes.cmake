# Checks that every error code handed to a reporting routine is named (from
# core/error_codes.h), never a bare number: a routine of the table below with
# a literal, or a conditional choosing a literal, in its code argument fails.
#   cmake -DROOT=<dir holding the folders> -P error_codes.cmake
# Each entry: the routine and the index of its code argument (0 first). A new
# routine that hands a code on to error() belongs here.
set(routines
  error:0 abandon:0 warning:0 out_err_mess:0 fail:0 prec_error:0 call_error:0
  check_for_monic_poly:0 abort_cancel:1 expect:1 operand:1 small_integer:1
  answer:2 asked_number:2 check_get_height:2 float_factor:2 height_next_var:2
  obtain_int:2 bracketed_array:2 bracketed_array:3 binom_real:3 set_quotient:3
  ask_factor:4 read_range:6 read_range:7)

include(${CMAKE_CURRENT_LIST_DIR}/layout_check.cmake)
layout_check_root(error_codes)

# One argument: anything but a comma or a bracket, with bracketed groups
# allowed (CMake's expressions hold few groups, so no nesting inside them).
set(arg "[^(),]*(\\([^()]*\\)[^(),]*)*")
# A literal code: the whole argument, or a branch of a conditional.
set(literal "[ \t\n]*-?[0-9]+[ \t\n]*[,)]|[^,()?]*\\?[ \t\n]*-?[0-9]+[ \t\n]*:|[^,()?]*\\?[^,():]*:[ \t\n]*-?[0-9]+[ \t\n]*[,)]")

set(faults "")
set(checked 0)
file(GLOB_RECURSE sources "${ROOT}/*.h" "${ROOT}/*.cpp")
foreach(source ${sources})
  math(EXPR checked "${checked} + 1")
  file(READ "${source}" text)
  string(PREPEND text " ")
  string(REGEX REPLACE "//[^\n]*" "" text "${text}")
  string(REGEX REPLACE "\"([^\"\\\\]|\\\\.)*\"" "\"\"" text "${text}")
  file(RELATIVE_PATH shown "${ROOT}/.." "${source}")
  foreach(entry ${routines})
    string(REPLACE ":" ";" entry "${entry}")
    list(GET entry 0 routine)
    list(GET entry 1 index)
    if(NOT text MATCHES "${routine}\\(")
      continue()
    endif()
    set(before "")
    if(index GREATER 0)
      foreach(i RANGE 1 ${index})
        string(APPEND before "${arg},")
      endforeach()
    endif()
    string(REGEX MATCHALL "[^A-Za-z0-9_.>:]${routine}\\(${before}(${literal})" hits "${text}")
    foreach(hit ${hits})
      string(REGEX REPLACE "[\n]" " " hit "${hit}")
      string(APPEND faults "\n  ${shown}: ${hit}")
    endforeach()
  endforeach()
endforeach()

layout_check_report(error_codes "${checked}" "${faults}"
  "Literal error codes at calls of reporting routines (name them from core/error_codes.h):"
  "error codes are named in ${checked} files")
