# SPDX-License-Identifier: MIT
# Writes the page's service worker (src/web/sw.js) for this build: the files it keeps, and a
# version that changes whenever one of them does, so that a new build replaces what browsers kept.
#
#   cmake -DSOURCE=src/web/sw.js -DFOLDER=build-web -DFILES="index.html;page.js;..." -P ServiceWorker.cmake
set(hashes "")
set(quoted "\"./\"")
foreach(f ${FILES})
  file(SHA256 ${FOLDER}/${f} hash)
  string(APPEND hashes "${hash} ${f}\n")
  string(APPEND quoted ", \"${f}\"")
endforeach()
string(SHA256 version "${hashes}")
string(SUBSTRING ${version} 0 16 CAVEWING_PAGE_VERSION)
set(CAVEWING_PAGE_FILES ${quoted})
configure_file(${SOURCE} ${FOLDER}/sw.js @ONLY)
