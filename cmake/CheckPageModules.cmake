# SPDX-License-Identifier: MIT
# Refuses page modules that import each other in a circle: run as a script (cmake -P) before the
# page's script is bundled. Each module stands above what it imports, as each C++ layer does
# (CheckLayer.cmake); a lower one that must reach a higher one is handed what to call.
#
#   cmake -DMODULES="a.js;b.js" -DSTAMP=file -P CheckPageModules.cmake
#
# MODULES are the page's module files, all in one folder.
cmake_minimum_required(VERSION 3.25)
set(left "")
foreach(module IN LISTS MODULES)
  get_filename_component(name "${module}" NAME_WE)
  file(READ "${module}" text)
  string(REGEX MATCHALL "(from|import)[ \t\n]+'\\./[A-Za-z0-9_-]+\\.js'" imports "${text}")
  set(imports_${name} "")
  foreach(import IN LISTS imports)
    string(REGEX REPLACE ".*'\\./([A-Za-z0-9_-]+)\\.js'" "\\1" imported "${import}")
    list(APPEND imports_${name} "${imported}")
  endforeach()
  list(APPEND left "${name}")
endforeach()
# Each round lays down the modules that import none of those left: what is never laid down is in
# a circle, or stands on one.
while(left)
  set(laid "")
  set(faults "")
  foreach(name IN LISTS left)
    set(above "")
    foreach(imported IN LISTS imports_${name})
      if(imported IN_LIST left)
        list(APPEND above "${imported}.js")
      endif()
    endforeach()
    if(above)
      list(JOIN above ", " above)
      string(APPEND faults "\n  ${name}.js imports ${above}")
    else()
      list(APPEND laid "${name}")
    endif()
  endforeach()
  if(NOT laid)
    message(FATAL_ERROR "The page's modules import each other in a circle:${faults}\n"
                        "Each module imports only what stands below it (README, \"Play in a browser\").")
  endif()
  list(REMOVE_ITEM left ${laid})
endwhile()
file(WRITE "${STAMP}" "")
