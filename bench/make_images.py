#!/usr/bin/env python3
"""Benchmark images beyond the 6000 x 4000 set of make_fixtures.py --large
(run from the project root as a module, so that it reaches the package
scripts/fixtures/):

  odd_rgb24_3001x2001_lossy.jxr     24bppBGR, rows of 9003 bytes (padded DIB rows)
  strip_rgb24_1x20000.jxr           24bppBGR, one pixel wide (lossless)
  alpha_bgra32_4000x3000_lossy.jxr  32bppBGRA
  small/small_NNN.jxr               200 pictures of 96 x 64 (24bppBGR, lossy),
                                    for the cost of each call
  profile_rgb24_WxH_lossy.jxr       24bppBGR at 4000 x 3000 and 8000 x 6000,
                                    no colour profile, and the same file with
  profile_rgb24_WxH_lossy_adobe.jxr   colord-data's Adobe RGB (1998) or
  profile_rgb24_WxH_lossy_srgb.jxr    colord-data's sRGB embedded (tag 0x8773)
  profile_cmyk32_WxH_lossy.jxr      32bppCMYK at the same sizes (cmyk_encoder.c
  profile_cmyk32_WxH_lossy_cmyk.jxr   of the fixtures package, quantiser index
                                    PROFILE_CMYK_QP), without and with
                                    libgs-common's default_cmyk.icc

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

import shutil
import tempfile

from scripts.fixtures.common import FixtureError, encode, fail, read_file, write_file
from scripts.fixtures.container import TAG_ICC_PROFILE, add_blob_tag, check_container
from scripts.fixtures.formats import FORMATS
from scripts.fixtures.images import make_bmp, write_bmp_stream
from scripts.fixtures.large import large_rows
from scripts.fixtures.profiles import ENCODER_SOURCE, JXR_FLAGS, JXR_LIBS, PROFILES, check_profile_files, run_tool
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


# The colour-profile rows: each picture without a profile and with one
# embedded (the same file with one more directory entry and the profile's
# bytes appended).  Content: the large images' gradients with seeded noise,
# every pixel another colour, as in a photo (no flat areas for a colour
# transform's cache of the last pixel).
PROFILE_SIZES = [(4000, 3000), (8000, 6000)]
PROFILE_CMYK_QP = '40'  # lossy: about 4 levels of mean error on this content


def add_profile(out, plain, tagged, profile):
    path = os.path.join(out, tagged)
    if not os.path.isfile(path):
        add_blob_tag(os.path.join(out, plain), path, TAG_ICC_PROFILE, read_file(PROFILES[profile][0]))


def make_rgb_large(out, name, width, height, seed):
    """A large 24bppBGR lossy picture, its BMP source streamed to disk."""
    path = os.path.join(out, name)
    if os.path.isfile(path):
        return
    fmt = FORMATS['bgr24']
    bmp = path + '.src.bmp'
    write_bmp_stream(bmp, width, height, large_rows(3, seed, width=width, height=height), 24)
    try:
        encode(bmp, path, fmt.code, ['-q', QUALITY], lambda p: check_container(p, fmt, width, height))
    finally:
        os.remove(bmp)


def make_cmyk_large(out, name, width, height, seed):
    """A large 32bppCMYK lossy picture by cmyk_encoder.c (built with the
    host's gcc against libjxr-dev), C,M,Y,K = the gradients' four channels."""
    path = os.path.join(out, name)
    if os.path.isfile(path):
        return
    if shutil.which('gcc') is None:
        fail('gcc not found (Debian package gcc)')
    with tempfile.TemporaryDirectory(prefix='bench-cmyk-', dir=out) as tmp:
        tool = os.path.join(tmp, 'cmyk_encoder')
        run_tool(['gcc', '-O1', '-w'] + JXR_FLAGS + [ENCODER_SOURCE, '-o', tool] + JXR_LIBS,
                 'building cmyk_encoder.c (Debian package libjxr-dev)')
        raw = os.path.join(tmp, 'pixels.raw')
        with open(raw, 'wb') as f:
            for row in large_rows(4, seed, top_first=True, width=width, height=height):
                f.write(row)
        part = os.path.join(tmp, name)
        run_tool([tool, raw, str(width), str(height), part, PROFILE_CMYK_QP], 'cmyk_encoder for %s' % name)
        check_container(part, FORMATS['cmyk32'], width, height)
        os.replace(part, path)


def make_profile_images(out):
    check_profile_files()
    for w, h in PROFILE_SIZES:
        rgb = 'profile_rgb24_%dx%d_lossy' % (w, h)
        make_rgb_large(out, rgb + '.jxr', w, h, 2400 + w // 1000)
        add_profile(out, rgb + '.jxr', rgb + '_adobe.jxr', 'adobe')
        add_profile(out, rgb + '.jxr', rgb + '_srgb.jxr', 'srgb')
        cmyk = 'profile_cmyk32_%dx%d_lossy' % (w, h)
        make_cmyk_large(out, cmyk + '.jxr', w, h, 3200 + w // 1000)
        add_profile(out, cmyk + '.jxr', cmyk + '_cmyk.jxr', 'cmyk')


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
        make_profile_images(out)
    except FixtureError as e:
        print('make_images: error: %s' % e, file=sys.stderr)
        return 1
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
