#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
# Writes a script of the page as it is sent: without its whole-line comments and blank lines,
# which every first visit would otherwise download. The licence line stays; nothing else changes.
#
#   send-script.py SOURCE.js OUT.js
import re
import sys

source, out = sys.argv[1:3]
with open(source, encoding="utf-8") as f:
    lines = f.read().split("\n")
kept = [line.rstrip() for line in lines
        if line.strip() and (not re.match(r"\s*//", line) or "SPDX-License-Identifier" in line)]
with open(out, "w", encoding="utf-8") as f:
    f.write("\n".join(kept) + "\n")
