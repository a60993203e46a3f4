# SPDX-License-Identifier: MIT
# Refuses an include that runs the wrong way: run as a script (cmake -P) before a layer's library
# is compiled, it reads the layer's sources and fails the build when one of them includes a header
# of a higher layer's folder, or a Qt header below the desktop front end.
#
#   cmake -DLAYER=name -DFOLDERS="a;b" -DFORBIDDEN="c;d" [-DALLOWED="c/e/;c/f.h"] -DNO_QT=ON
#         -DSTAMP=file -P CheckLayer.cmake
#
# FOLDERS are the layer's own folders under SOURCE_DIR/src, FORBIDDEN the folders above it, and
# ALLOWED the paths under those that lie below it after all (its own folder inside one of them).
set(faults "")
foreach(folder IN LISTS FOLDERS)
  file(GLOB sources "${SOURCE_DIR}/src/${folder}/*.h" "${SOURCE_DIR}/src/${folder}/*.cpp")
  foreach(source IN LISTS sources)
    file(STRINGS "${source}" includes REGEX "^[ \t]*#[ \t]*include")
    file(RELATIVE_PATH shown "${SOURCE_DIR}" "${source}")
    foreach(line IN LISTS includes)
      set(allowed OFF)
      foreach(below IN LISTS ALLOWED)
        if(line MATCHES "#[ \t]*include[ \t]*[\"<]${below}")
          set(allowed ON)
        endif()
      endforeach()
      if(allowed)
        continue()
      endif()
      foreach(higher IN LISTS FORBIDDEN)
        if(line MATCHES "#[ \t]*include[ \t]*[\"<]${higher}/")
          string(APPEND faults "\n  ${shown}: ${line}  (src/${higher} is above ${LAYER})")
        endif()
      endforeach()
      if(NO_QT AND line MATCHES "#[ \t]*include[ \t]*<Q")
        string(APPEND faults "\n  ${shown}: ${line}  (Qt belongs to src/qt only)")
      endif()
    endforeach()
  endforeach()
endforeach()
if(faults)
  message(FATAL_ERROR "The ${LAYER} layer includes what lies above it:${faults}\n"
                      "Each layer includes only the layers below it (README, \"The code\").")
endif()
file(WRITE "${STAMP}" "")
