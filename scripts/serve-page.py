#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Serves the page from the WebAssembly build's folder on 127.0.0.1, and nothing else of it.

    python3 scripts/serve-page.py BUILD_WEB_FOLDER [FIRST_PORT]

The build folder also holds the build's own files (CMakeCache.txt with its absolute paths,
build.ninja, the libraries): only the page's files are served, and no folder is listed. Text is
sent gzipped, each file with how long a browser may keep it. It takes
the first free port from FIRST_PORT on (0: any free port) and prints the page's address.
"""
import email.utils
import functools
import gzip
import http.server
import io
import os
import re
import sys
import threading
import urllib.parse

# What `make web` puts in the folder for the page: its HTML, script and style, the game, the
# pictures, the fonts with their licences, and what installs it as an app and keeps it offline.
PAGE_FILES = re.compile(r"(index\.html|page\.js|page\.css|cavewing\.js|cavewing\.wasm|sw\.js"
                        r"|manifest\.webmanifest|assets/[\w.-]+\.png"
                        r"|fonts/[\w.-]+\.(woff2|copyright))")

# Sent gzipped to a browser that takes it; pictures and WOFF2 fonts are compressed already.
COMPRESSED = re.compile(r".*\.(html|js|css|wasm|webmanifest|copyright)")

# How long a browser keeps a file without asking again. The page's code and the service worker
# change with every build, under the same names: asked again each time (answered 304 when
# unchanged). The pictures and fonts change only with the project's assets or Debian's fonts.
def cache_control(path):
    if path.startswith(("assets/", "fonts/")):
        return "public, max-age=604800"
    return "no-cache"


TYPES = {".wasm": "application/wasm", ".webmanifest": "application/manifest+json",
         ".woff2": "font/woff2", ".copyright": "text/plain; charset=utf-8",
         ".js": "text/javascript", ".html": "text/html; charset=utf-8", ".css": "text/css"}


class PageOnly(http.server.SimpleHTTPRequestHandler):
    # HTTP/1.1: browsers revalidate with the ETag only for 1.1 answers, and keep the connection.
    protocol_version = "HTTP/1.1"
    # Each file's gzipped body, made once for each version of the file.
    gzipped = {}
    lock = threading.Lock()

    def log_message(self, format, *args):  # noqa: A002 (the library's own name)
        if os.environ.get("CAVEWING_SERVE_LOG"):
            super().log_message(format, *args)

    # The browser's copy is still this file's: by its ETag, else by its date.
    def unchanged(self, tag, st):
        if "If-None-Match" in self.headers:
            return tag in [t.strip() for t in self.headers["If-None-Match"].split(",")]
        since = self.headers.get("If-Modified-Since")
        try:
            return since is not None and int(st.st_mtime) <= email.utils.parsedate_to_datetime(
                since).timestamp()
        except (TypeError, ValueError):
            return False

    def send_head(self):
        path = urllib.parse.unquote(urllib.parse.urlsplit(self.path).path).lstrip("/")
        path = path or "index.html"
        full = os.path.join(self.directory, path)
        if not PAGE_FILES.fullmatch(path) or not os.path.isfile(full):
            self.send_error(404)
            return None
        st = os.stat(full)
        gzip_it = COMPRESSED.fullmatch(path) and "gzip" in self.headers.get("Accept-Encoding", "")
        tag = f'"{st.st_mtime_ns:x}-{st.st_size:x}{"-gz" if gzip_it else ""}"'
        if self.unchanged(tag, st):
            self.send_response(304)
            self.send_header("ETag", tag)
            self.send_header("Cache-Control", cache_control(path))
            self.end_headers()
            return None
        with open(full, "rb") as f:
            body = f.read()
        if gzip_it:
            key = (full, st.st_mtime_ns, st.st_size)
            with self.lock:
                packed = self.gzipped.get(key)
                if packed is None:
                    packed = gzip.compress(body, 9, mtime=0)
                    self.gzipped[key] = packed
            body = packed
        self.send_response(200)
        self.send_header("Content-Type", TYPES.get(os.path.splitext(path)[1]) or self.guess_type(path))
        self.send_header("Content-Length", str(len(body)))
        if gzip_it:
            self.send_header("Content-Encoding", "gzip")
        if COMPRESSED.fullmatch(path):
            self.send_header("Vary", "Accept-Encoding")
        self.send_header("Cache-Control", cache_control(path))
        self.send_header("ETag", tag)
        self.send_header("Last-Modified", self.date_time_string(int(st.st_mtime)))
        self.end_headers()
        return io.BytesIO(body)


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
