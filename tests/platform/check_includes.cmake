# Fails when a folder includes one it must not: dependencies run one way.
#   cmake -DSRC=<repo>/src -P check_includes.cmake
# Each rule: folder, then the folders (or system headers) it may not include;
# the playlist may take only the window handle (hwnd.h) from wincompat/.
set(rules
  "wincompat|platform/ media/ playlist/ menu/ ui/ res/ app/"
  "platform|media/ playlist/ menu/ ui/ res/ app/"
  "media|playlist/ menu/ ui/ res/ app/"
  "playlist|wincompat/[a-gi-z] media/ menu/ ui/ res/ app/ <Q <gst/"
  "menu|platform/ media/ playlist/ ui/ app/"
  "ui|media/ app/ <gst/")
set(failures "")
foreach(rule IN LISTS rules)
  string(REPLACE "|" ";" fields "${rule}")
  list(GET fields 0 folder)
  list(GET fields 1 banned)
  string(REPLACE " " ";" banned "${banned}")
  file(GLOB_RECURSE files "${SRC}/${folder}/*.cpp" "${SRC}/${folder}/*.h")
  foreach(f IN LISTS files)
    file(STRINGS "${f}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*" "" target "${line}")
      foreach(b IN LISTS banned)
        if(b MATCHES "^<")
          set(pattern "^${b}")
        else()
          set(pattern "^\"${b}")
        endif()
        if(target MATCHES "${pattern}")
          file(RELATIVE_PATH rel "${SRC}" "${f}")
          string(APPEND failures "  src/${rel} includes ${target}\n")
        endif()
      endforeach()
    endforeach()
  endforeach()
endforeach()
if(failures)
  message(FATAL_ERROR "Includes against the direction of the layers:\n${failures}")
endif()
message(STATUS "Every include runs down the layers.")
