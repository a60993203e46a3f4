#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Makes the page's fonts: each face as WOFF2 twice, whole and cut to the characters the game draws.

    subset-fonts.py OUT_FOLDER FONT...

FONT.ttf (or .otf) becomes OUT_FOLDER/FONT.woff2, the whole face, and OUT_FOLDER/FONT-latin.woff2,
Latin-1 and the punctuation of the game's texts alone. page.css names the cut face for those
characters and the whole one for the rest (a player's name from elsewhere), so that a first visit
fetches only the small one. Needs Debian's python3-fonttools and python3-brotli (WOFF2).
"""
import os
import sys

from fontTools import subset
from fontTools.ttLib import TTFont

# Kept in step with the unicode-range of the cut faces in page.css.
LATIN = [*range(0x20, 0x7F), *range(0xA0, 0x100), 0x2013, 0x2014, *range(0x2018, 0x201F), 0x2022,
         0x2026, 0x20AC]


def woff2(source, target, characters):
    font = TTFont(source)
    if characters is not None:
        options = subset.Options()
        options.layout_features = ["*"]
        options.name_IDs = ["*"]
        options.name_languages = ["*"]
        options.notdef_outline = True
        # Hinting triples a cut face's weight; the browser's own rasteriser does without it.
        options.hinting = False
        subsetter = subset.Subsetter(options)
        subsetter.populate(unicodes=characters)
        subsetter.subset(font)
    font.flavor = "woff2"
    partial = target + ".part"
    font.save(partial)
    os.replace(partial, target)  # a build stopped half way leaves no half a font


def main():
    out, fonts = sys.argv[1], sys.argv[2:]
    os.makedirs(out, exist_ok=True)
    for source in fonts:
        stem = os.path.splitext(os.path.basename(source))[0]
        woff2(source, os.path.join(out, stem + ".woff2"), None)
        woff2(source, os.path.join(out, stem + "-latin.woff2"), LATIN)


if __name__ == "__main__":
    main()
