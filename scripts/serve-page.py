#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Serves the page from the WebAssembly build's folder on 127.0.0.1, and nothing else of it.

    python3 scripts/serve-page.py BUILD_WEB_FOLDER [FIRST_PORT]

The build folder also holds the build's own files (CMakeCache.txt with its absolute paths,
build.ninja, the libraries): only the page's files are served, and no folder is listed. It takes
the first free port from FIRST_PORT on (0: any free port) and prints the page's address.
"""
import functools
import http.server
import os
import re
import sys
import urllib.parse

# What `make web` puts in the folder for the page: its HTML, script and style, the game, the
# pictures, and the fonts with their licences.
PAGE_FILES = re.compile(r"(index\.html|page\.js|page\.css|cavewing\.js|cavewing\.wasm"
                        r"|assets/[\w.-]+\.png|fonts/[\w.-]+\.(ttf|otf|copyright))")


class PageOnly(http.server.SimpleHTTPRequestHandler):
    def send_head(self):
        path = urllib.parse.unquote(urllib.parse.urlsplit(self.path).path).lstrip("/")
        path = path or "index.html"
        full = os.path.join(self.directory, path)
        if not PAGE_FILES.fullmatch(path) or not os.path.isfile(full):
            self.send_error(404)
            return None
        self.path = "/" + path
        return super().send_head()


def main():
    folder = sys.argv[1]
    port = int(sys.argv[2]) if len(sys.argv) > 2 else 8000
    handler = functools.partial(PageOnly, directory=folder)
    while True:
        try:
            server = http.server.ThreadingHTTPServer(("127.0.0.1", port), handler)
            break
        except OSError:
            if port == 0 or port >= 65535:
                raise
            port += 1
    print(f"Cavewing in a browser: http://127.0.0.1:{server.server_address[1]}/", flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
