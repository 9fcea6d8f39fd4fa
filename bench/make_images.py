#!/usr/bin/env python3
"""Benchmark images beyond the 6000 x 4000 set of make_fixtures.py --large
(run from the project root as a module, so that it reaches the package
scripts/fixtures/):

  odd_rgb24_3001x2001_lossy.jxr     24bppBGR, rows of 9003 bytes (padded DIB rows)
  strip_rgb24_1x20000.jxr           24bppBGR, one pixel wide (lossless)
  alpha_bgra32_4000x3000_lossy.jxr  32bppBGRA
  small/small_NNN.jxr               200 pictures of 96 x 64 (24bppBGR, lossy),
                                    for the cost of each call

usage: python3 -m bench.make_images OUT   (each image skipped when present)
Content as make_fixtures.py's large images: gradients with seeded noise.

  python3 -m bench.make_images --scenes OUT
                                HDR scenes for the SDR white rule and for
                                looking at the tone mapping, 960 x 540
                                48bppRGBHalf, into OUT/scenes (see SCENES):
                                desktops at 80, 200 and 300 nits, light and
                                dark, large and small white areas, with and
                                without HDR content; games with and without
                                a HUD; a photo.  `susiehost probe` on each
                                prints the SDR white found.
"""

import os
import sys

from scripts.fixtures.common import FixtureError, encode, write_file
from scripts.fixtures.container import check_container
from scripts.fixtures.formats import FORMATS
from scripts.fixtures.images import make_bmp
from scripts.fixtures.large import large_rows
from scripts.fixtures.scenes import desktop_rows, game_rows, photo_rows, write_half_jxr

QUALITY = '0.8'
SMALL_COUNT = 200


def rows_top_first(width, height, channels, seed):
    """The large fixtures' rows at another size, top row first."""
    return list(large_rows(channels, seed, top_first=True, width=width, height=height))


def make(out, name, width, height, channels, seed, args):
    path = os.path.join(out, name)
    if os.path.isfile(path):
        return
    fmt = FORMATS['bgr24' if channels == 3 else 'bgra32']
    bmp = path + '.src.bmp'
    write_file(bmp, make_bmp(width, height, rows_top_first(width, height, channels, seed), channels * 8))
    try:
        encode(bmp, path, fmt.code, args, lambda p: check_container(p, fmt, width, height))
    finally:
        os.remove(bmp)


SCENE_W, SCENE_H = 960, 540
SCENES = [  # name, rows, SDR white the rule should find (0: none)
    ('desktop_80nits', lambda w, h: desktop_rows(w, h, 1.0), 1.0),
    ('desktop_200nits', lambda w, h: desktop_rows(w, h, 2.5), 2.5),
    ('desktop_300nits', lambda w, h: desktop_rows(w, h, 3.75), 3.75),
    ('desktop_200nits_flat', lambda w, h: desktop_rows(w, h, 2.5, highlights=False), 2.5),
    ('desktop_240nits_dark', lambda w, h: desktop_rows(w, h, 3.0, theme='dark'), 3.0),
    ('desktop_80nits_dark', lambda w, h: desktop_rows(w, h, 1.0, theme='dark'), 1.0),
    ('desktop_200nits_small_white', lambda w, h: desktop_rows(w, h, 2.5, white_area='small'), 2.5),
    ('desktop_480nits_dark_small', lambda w, h: desktop_rows(w, h, 6.0, theme='dark', white_area='small'),
     6.0),
    ('game', lambda w, h: game_rows(w, h), 0.0),
    ('game_hud', lambda w, h: game_rows(w, h, hud=True), 2.0),
    ('game_hud_240nits', lambda w, h: game_rows(w, h, hud=True, white=3.0), 3.0),
    ('photo', lambda w, h: photo_rows(w, h), 0.0),
]


def make_scenes(out):
    folder = os.path.join(out, 'scenes')
    os.makedirs(folder, exist_ok=True)
    for name, rows, _ in SCENES:
        path = os.path.join(folder, name + '.jxr')
        if not os.path.isfile(path):
            write_half_jxr(path, SCENE_W, SCENE_H, rows(SCENE_W, SCENE_H))


def main(argv):
    if len(argv) == 2 and argv[0] == '--scenes':
        try:
            make_scenes(argv[1])
        except FixtureError as e:
            print('make_images: error: %s' % e, file=sys.stderr)
            return 1
        return 0
    if len(argv) != 1:
        print(__doc__, file=sys.stderr)
        return 2
    out = argv[0]
    os.makedirs(os.path.join(out, 'small'), exist_ok=True)
    try:
        make(out, 'odd_rgb24_3001x2001_lossy.jxr', 3001, 2001, 3, 301, ['-q', QUALITY])
        make(out, 'strip_rgb24_1x20000.jxr', 1, 20000, 3, 120, [])
        make(out, 'alpha_bgra32_4000x3000_lossy.jxr', 4000, 3000, 4, 403, ['-q', QUALITY])
        for i in range(SMALL_COUNT):
            make(out, os.path.join('small', 'small_%03d.jxr' % i), 96, 64, 3, 1000 + i,
                 ['-q', QUALITY])
    except FixtureError as e:
        print('make_images: error: %s' % e, file=sys.stderr)
        return 1
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
