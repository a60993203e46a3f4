# SPDX-License-Identifier: MIT
# The page: the browser front end compiled to WebAssembly, with its HTML, script, pictures and
# the fonts the desktop finds through fontconfig (Arial, Verdana and Comic Sans MS stand-ins),
# each with its licence.
add_executable(cavewing-web src/web/main.cpp)
target_link_libraries(cavewing-web PRIVATE cavewing_start cavewing_kit)
set_target_properties(cavewing-web PROPERTIES OUTPUT_NAME cavewing)
# A message box waits inside its handler, as on the desktop: Asyncify unwinds the handler while
# the page's dialog is open and rewinds it when the player answers. Sent to every visitor, the
# program is made as small as it goes: the smaller allocator (the page allocates little and
# seldom), and the optimiser's smallest setting.
target_link_options(cavewing-web PRIVATE -sENVIRONMENT=web -sASYNCIFY -sALLOW_MEMORY_GROWTH=1
  -sMALLOC=emmalloc -Oz
  -sEXPORTED_RUNTIME_METHODS=ccall,FS,UTF8ToString,stringToUTF8,lengthBytesUTF8 -sEXIT_RUNTIME=0 -sINVOKE_RUN=0
  # Code that is never on the stack while a box is open is left as it is, and stays small: the
  # score server's client and its JSON, the sounds, recordings as text, the table's records and
  # the standard streams (Asyncify would otherwise prepare every function that makes an indirect
  # call to be unwound; these twelve kilobytes of the page, gzipped, never are).
  "-sASYNCIFY_REMOVE=['*cabinet::kit::ScoreServer*','*cabinet::kit::json*',
    'cabinet::kit::Sounds::*','replay::*','form::records::*','std::__2::basic_ostream*',
    'std::__2::basic_streambuf*','std::__2::basic_stringbuf*','std::__2::basic_ios*',
    'std::__2::locale*']")

# The page's files as the source has them, and its script as it is made (below).
set(web_copied index.html page.css manifest.webmanifest)
set(web_page_files ${web_copied} page.js)
set(web_fonts
  /usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf
  /usr/share/fonts/truetype/liberation/LiberationSans-Bold.ttf
  /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
  /usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
  /usr/share/fonts/opentype/comic-neue/ComicNeue-Regular.otf
  /usr/share/fonts/opentype/comic-neue/ComicNeue-Bold.otf)
set(web_outputs)
find_program(CAVEWING_PYTHON python3 PATHS /usr/bin NO_DEFAULT_PATH)
foreach(f ${web_copied})
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/${f}
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/src/web/${f} ${CMAKE_BINARY_DIR}/${f}
    DEPENDS ${CMAKE_SOURCE_DIR}/src/web/${f})
  list(APPEND web_outputs ${CMAKE_BINARY_DIR}/${f})
endforeach()
# The page's script is ES modules, one concern each (src/web/page, started by boot.js), sent as
# one file: esbuild (Debian's package: one static binary, no npm tree to build with) bundles and
# minifies them, so a first visit stays one script request, well within its budget. Its target is
# what Debian's Chromium runs; the licence line leads the bundle, strict as modules are, and no
# source map is made.
find_program(CAVEWING_ESBUILD esbuild REQUIRED)
file(GLOB web_modules CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/web/page/*.js)
# First, as the layers are checked, no module may import another that imports it back.
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/page-modules.checked
  COMMAND ${CMAKE_COMMAND} "-DMODULES=${web_modules}"
          -DSTAMP=${CMAKE_BINARY_DIR}/page-modules.checked
          -P ${CMAKE_SOURCE_DIR}/cmake/CheckPageModules.cmake
  DEPENDS ${web_modules} ${CMAKE_SOURCE_DIR}/cmake/CheckPageModules.cmake
  VERBATIM)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/page.js
  COMMAND ${CAVEWING_ESBUILD} ${CMAKE_SOURCE_DIR}/src/web/page/boot.js --bundle --format=iife
          --minify --target=es2020 --legal-comments=none --log-level=warning
          "--banner:js=/* SPDX-License-Identifier: MIT */ 'use strict';"
          --outfile=${CMAKE_BINARY_DIR}/page.js
  DEPENDS ${web_modules} ${CMAKE_BINARY_DIR}/page-modules.checked
  VERBATIM)
list(APPEND web_outputs ${CMAKE_BINARY_DIR}/page.js)
file(GLOB web_pictures CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/assets/*.png)
foreach(f ${web_pictures})
  get_filename_component(name ${f} NAME)
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/assets/${name}
    COMMAND ${CMAKE_COMMAND} -E copy ${f} ${CMAKE_BINARY_DIR}/assets/${name} DEPENDS ${f})
  list(APPEND web_outputs ${CMAKE_BINARY_DIR}/assets/${name})
endforeach()
# Each face as WOFF2, whole and cut to the characters the game draws (scripts/subset-fonts.py),
# with Debian's fontTools: a first visit fetches only the cut faces.
set(web_woff2)
foreach(f ${web_fonts})
  get_filename_component(stem ${f} NAME_WE)
  list(APPEND web_woff2 ${CMAKE_BINARY_DIR}/fonts/${stem}.woff2
       ${CMAKE_BINARY_DIR}/fonts/${stem}-latin.woff2)
endforeach()
add_custom_command(OUTPUT ${web_woff2}
  COMMAND ${CAVEWING_PYTHON} ${CMAKE_SOURCE_DIR}/scripts/subset-fonts.py
          ${CMAKE_BINARY_DIR}/fonts ${web_fonts}
  DEPENDS ${CMAKE_SOURCE_DIR}/scripts/subset-fonts.py ${web_fonts})
list(APPEND web_outputs ${web_woff2})
foreach(package fonts-liberation fonts-dejavu-core fonts-comic-neue)
  set(licence ${CMAKE_BINARY_DIR}/fonts/${package}.copyright)
  add_custom_command(OUTPUT ${licence}
    COMMAND ${CMAKE_COMMAND} -E copy /usr/share/doc/${package}/copyright ${licence}
    DEPENDS /usr/share/doc/${package}/copyright)
  list(APPEND web_outputs ${licence})
endforeach()
add_custom_target(cavewing-web-page ALL DEPENDS ${web_outputs})
add_dependencies(cavewing-web cavewing-web-page)

# The service worker keeps what a visit needs offline: the page, the game, the pictures, the cut
# faces (the whole ones as they are fetched). Its version follows their contents.
set(web_kept ${web_page_files} cavewing.js cavewing.wasm)
foreach(f ${web_pictures})
  get_filename_component(name ${f} NAME)
  list(APPEND web_kept assets/${name})
endforeach()
foreach(f ${web_fonts})
  get_filename_component(stem ${f} NAME_WE)
  list(APPEND web_kept fonts/${stem}-latin.woff2)
endforeach()
# The linker writes cavewing.wasm beside cavewing.js, which the target names: depending on the
# target covers both, and a clean build has no rule for the .wasm alone.
set(web_kept_made ${web_kept})
list(REMOVE_ITEM web_kept_made cavewing.js cavewing.wasm)
list(TRANSFORM web_kept_made PREPEND ${CMAKE_BINARY_DIR}/ OUTPUT_VARIABLE web_kept_paths)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/sw.js
  COMMAND ${CMAKE_COMMAND} -DSOURCE=${CMAKE_SOURCE_DIR}/src/web/sw.js -DFOLDER=${CMAKE_BINARY_DIR}
          "-DFILES=${web_kept}" -P ${CMAKE_SOURCE_DIR}/cmake/ServiceWorker.cmake
  DEPENDS ${CMAKE_SOURCE_DIR}/src/web/sw.js ${CMAKE_SOURCE_DIR}/cmake/ServiceWorker.cmake
          ${web_kept_paths} cavewing-web
  VERBATIM)
add_custom_target(cavewing-web-offline ALL DEPENDS ${CMAKE_BINARY_DIR}/sw.js)
