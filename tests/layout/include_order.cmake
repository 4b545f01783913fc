# Checks the folder order of src/: a file under src/<folder>/ includes headers
# of its own folder and of the folders before it, never of one after it.
#   cmake -DROOT=<dir holding the folders> -P include_order.cmake
# Fails listing every offending line; also fails for a folder of ROOT missing
# from the order (a new folder must be given its place here and in the README).
# A room, a subfolder of a folder, is part of that folder: it includes from
# itself, its folder's top and the folders below, never from a sibling room;
# what may include the folder may include its rooms. A subfolder not listed among the
# rooms, or an include naming no listed room, fails as a folder missing from
# the order does.
set(order core numbers dense poly gcd factor quoly toplevel lang arrays matrix det matlang frontend)
set(rooms numbers/stash gcd/flat gcd/modular gcd/onevar lang/builtins matrix/char_poly matrix/integer matrix/normal_forms)

include(${CMAKE_CURRENT_LIST_DIR}/layout_check.cmake)
layout_check_root(include_order)

set(faults "")
set(checked 0)
file(GLOB entries RELATIVE "${ROOT}" "${ROOT}/*")
foreach(folder ${entries})
  if(NOT IS_DIRECTORY "${ROOT}/${folder}")
    continue()  # files beside the folders (main.cpp) stand above them all
  endif()
  list(FIND order "${folder}" rank)
  if(rank EQUAL -1)
    string(APPEND faults "\n  src/${folder}/ is not in the folder order")
    continue()
  endif()
  file(GLOB_RECURSE subfolders LIST_DIRECTORIES true RELATIVE "${ROOT}" "${ROOT}/${folder}/*")
  foreach(sub ${subfolders})
    list(FIND rooms "${sub}" known)
    if(IS_DIRECTORY "${ROOT}/${sub}" AND known EQUAL -1)
      string(APPEND faults "\n  src/${sub}/ is not a room of ${folder}/")
    endif()
  endforeach()
  file(GLOB_RECURSE sources RELATIVE "${ROOT}" "${ROOT}/${folder}/*.h" "${ROOT}/${folder}/*.cpp")
  foreach(source ${sources})
    math(EXPR checked "${checked} + 1")
    file(STRINGS "${ROOT}/${source}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    foreach(line ${lines})
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]*)\".*" "\\1" header "${line}")
      if(header MATCHES "^\\.\\./")
        string(APPEND faults "\n  src/${source}: \"${header}\" climbs out of its folder")
        continue()
      endif()
      if(NOT header MATCHES "/")
        continue()  # beside the including file: its own folder
      endif()
      if(header MATCHES "^[^/]+/[^/]+/")
        string(REGEX REPLACE "^([^/]+/[^/]+)/.*" "\\1" room "${header}")
        list(FIND rooms "${room}" known)
        if(known EQUAL -1)
          string(APPEND faults "\n  src/${source}: includes ${header} (${room}/ is no room)")
          continue()
        endif()
        if(source MATCHES "^[^/]+/[^/]+/" AND room MATCHES "^${folder}/")
          string(REGEX REPLACE "^([^/]+/[^/]+)/.*" "\\1" own_room "${source}")
          if(NOT own_room STREQUAL room)
            string(APPEND faults "\n  src/${source}: includes ${header} (rooms include their folder's top, not each other)")
            continue()
          endif()
        endif()
      endif()
      string(REGEX REPLACE "/.*" "" target "${header}")
      list(FIND order "${target}" target_rank)
      if(target_rank GREATER rank)
        string(APPEND faults "\n  src/${source}: includes ${header} (${target} is above ${folder})")
      endif()
    endforeach()
  endforeach()
endforeach()

layout_check_report(include_order "${checked}" "${faults}"
  "Headers of a folder above the including one (order: ${order}):"
  "include order holds in ${checked} files (${order})")
