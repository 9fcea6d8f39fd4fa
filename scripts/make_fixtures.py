#!/usr/bin/env python3
"""Test images for Rorurera's GoogleTest programs.

Usage:
  make_fixtures.py OUT          small fixtures (under a second; a no-op when
                                OUT/fixtures.stamp matches this script)
  make_fixtures.py --large OUT  benchmark images, each skipped if present
  make_fixtures.py --check OUT  verify the small fixtures already in OUT

Silent on success; on any failure a message on stderr and exit status 1.
Needs python3 (standard library only) and JxrEncApp / JxrDecApp (Debian
package libjxr-tools).

How the images are made
-----------------------
Every pixel value below is written by this script into an uncompressed
BMP or TIFF in OUT/src/, encoded with `JxrEncApp -i IN -o OUT.jxr -c N`
(lossless unless said otherwise), then decoded again with JxrDecApp and
compared with the values written; a lossless file that does not decode to
exactly those values stops the script, so the tests never check against a
wrong fixture.  The container of every .jxr is parsed as well (pixel
format, width, height, resolution, orientation tags).

What JxrEncApp needed, per format (jxrlib 1.2~git20170615, Debian 12):
  24bppBGR (-c 0)          24-bit BI_RGB BMP.
  32bppBGRA (-c 22)        32-bit BI_RGB BMP, bytes B,G,R,A.  No -a option
                           needed: the default is planar alpha (same bytes
                           as -a 2); -a 3 gives interleaved alpha.
  BlackWhite (-c 1)        1-bit TIFF.  A WhiteIsZero source and a
                           BlackIsZero source with inverted bits give
                           identical files.
  8bppGray (-c 2)          8-bit grey TIFF (BlackIsZero).
  16bppGray (-c 3)         16-bit grey TIFF.
  16bppBGR555 (-c 29)      8-bit RGB TIFF; the encoder keeps the top 5 bits
  16bppBGR565 (-c 30)      (5/6/5 bits for 565) of each 8-bit sample.
  48bppRGB (-c 10)         16-bit RGB TIFF.
  128bppRGBAFloat (-c 28)  32-bit float RGBA TIFF (SampleFormat 3) with
                           ExtraSamples = 2 (unassociated alpha); with
                           ExtraSamples = 1 JxrEncApp fails (exit 150).
  16bppGrayHalf (-c 5),     16-bit float TIFF (SampleFormat 3), grey or RGB;
  48bppRGBHalf (-c 12),     RGBA with ExtraSamples = 2.
  64bppRGBAHalf (-c 25)
  32bppGrayFloat (-c 8)     32-bit float grey TIFF.
  48bppRGBFixedPoint (-c 11), 96bppRGBFixedPoint (-c 14)
                           16- or 32-bit signed RGB TIFF (SampleFormat 2)
                           holding the stored s2.13 / s7.24 numbers.
  32bppRGBE (-c 16)        flat Radiance .hdr (no run-length rows).
  32bppBGR101010 (-c 31)   a TIFF marked 10-bit RGB whose rows hold the
                           stored 32-bit words (R<<20|G<<10|B, little-endian):
                           both tools copy the bytes unchanged, so only widths
                           whose 30-bit TIFF rows fill whole words (1 to 3).
  40bppCMYKAlpha (-c 32)   8-bit separated TIFF, 5 samples, ExtraSamples 2.
No fixture of 64bppPRGBA or 32bppRGBA1010102XR: JxrEncApp has no code for
either.  rgba64_2x2.jxr with its container's format changed to 64bppPRGBA
decodes with JxrDecApp, but Wine's decoder refuses the file (E_FAIL when the
decoder is made); jxrlib knows no 10-10-10-2 extended-range format (JxrDecApp:
"Unsupported format in JPEG XR"), and Wine's decoder refuses such a file too.
A source without resolution gives 96.0 / 96.0 dpi (float32 0x42C00000) in
tags 0xBC82 / 0xBC83.  Every file JxrEncApp writes has tag 0xBC02
(orientation) as a LONG with value 0, so the orientation fixtures are made
by changing that value in place; no tag has to be inserted.

BlackWhite polarity: JxrEncApp's TIFF reader turns a WhiteIsZero source
into BlackIsZero bits (that source and a BlackIsZero one with inverted bits
give identical files) and stores those bits as they are; -b only sets a
flag in the codestream header: byte 11 counted from the "W" of "WMPHOTO",
low nibble 0 with -b 0 ("0 = black", the default) or 0xF with -b 1
("0 = white").  JxrDecApp returns the stored bits unchanged and writes them
as a BlackIsZero TIFF (flag 0) or a WhiteIsZero TIFF (flag 0xF), so -b 1
inverts the picture relative to the source.  bw_33x2_b1.jxr is therefore
made from the inverted bits: both BlackWhite files show the same picture.
A decoder reporting index 0 = black, 1 = white returns the stored bits of
bw_33x2.jxr as they are and those of bw_33x2_b1.jxr inverted; both give
the rows listed below (bit 1 = white).

555 / 565 words: JxrDecApp decodes them to BI_BITFIELDS BMPs with masks
0x7C00 / 0x03E0 / 0x001F (555) and 0xF800 / 0x07E0 / 0x001F (565): the
stored words are R<<10 | G<<5 | B and R<<11 | G<<5 | B, listed below.

Orientation values (jxrlib's ORIENTATION; rotation first, then flips):
0 none, 1 flip vertically, 2 flip horizontally, 3 both (= 180 degrees),
4 rotate 90 clockwise, 5 rotate 90 cw + flip vertically, 6 rotate 90 cw +
flip horizontally (= transpose: shown[r][c] = stored[c][r]), 7 rotate 90 cw
+ both (= 90 counter-clockwise).  JxrDecApp ignores the container tag and
cannot rotate (its -O 4..7 fail here), so the orientation pictures below
are derived, not decoded.  Under Wine (see the platform notes) 1..3 decode
flipped with the stored size, and 4..7 report the turned size (2 x 4 for
orient6.jxr) while every CopyPixels fails.

Benchmark images (--large; about 10 s, 180 MB): large_rgb24_6000x4000.jxr
(24bppBGR, lossless), large_rgb24_6000x4000_lossy.jxr (-q 0.8),
large_bgra32_6000x4000.jxr (32bppBGRA, lossless) and
large_bgra32_6000x4000_lossy.jxr (-q 0.8), 6000 x 4000, 96 dpi.  Content:
per-channel horizontal gradients shifted per row and per band of 500 rows,
with seeded pseudo-random noise in the low 5 bits (see large_rows); the
lossless ones are decoded and compared row by row before they are kept.
The BMP sources are deleted afterwards.  large_rgbah_3000x2000.jxr
(64bppRGBAHalf, lossless, about 20 s more) is an HDR picture for the
formats the plug-in converts itself: half floats from 0 to 2.0 (above
white), alpha 1.0, from a 16-bit float TIFF that is deleted afterwards; it is
decoded and compared row by row as well.  large_hdr_desktop_3840x2160.jxr
(64bppRGBAHalf, lossless) is an HDR screenshot for the tone-mapping row: the
desktop scene of the fixtures (desktop_rows) at full size with its SDR white
at 2.5 (200 nits), windows, text and an HDR picture up to 30.

The file list (OUT/fixtures.txt holds the same text; the script stops if
the two ever differ):

rgb24_3x2.jxr
  24bppBGR {6FDDC324-4E03-4BFE-B185-3D77768DC90C}, 3 x 2, 96 x 96 dpi, orientation 0, lossless
  JxrEncApp -i src/rgb24_3x2.bmp -o rgb24_3x2.jxr -c 0
  pixels (B,G,R), top row first:
    row 0: (10,20,30) (40,50,60) (70,80,90)
    row 1: (100,110,120) (130,140,150) (160,170,180)

rgb24_5x3.jxr
  24bppBGR {6FDDC324-4E03-4BFE-B185-3D77768DC90C}, 5 x 3, 96 x 96 dpi, orientation 0, lossless
  JxrEncApp -i src/rgb24_5x3.bmp -o rgb24_5x3.jxr -c 0
  pixel (x,y): (B,G,R) = (x*40+y, y*60+x, 200-x*10-y*7)
  pixels (B,G,R), top row first:
    row 0: (0,0,200) (40,1,190) (80,2,180) (120,3,170) (160,4,160)
    row 1: (1,60,193) (41,61,183) (81,62,173) (121,63,163) (161,64,153)
    row 2: (2,120,186) (42,121,176) (82,122,166) (122,123,156) (162,124,146)

rgb24_640x480.jxr
  24bppBGR {6FDDC324-4E03-4BFE-B185-3D77768DC90C}, 640 x 480, 96 x 96 dpi, orientation 0, lossless
  JxrEncApp -i src/rgb24_640x480.bmp -o rgb24_640x480.jxr -c 0
  pixel (x,y): (B,G,R) = (x & 255, y & 255, (3*x + 5*y) & 255)
  corners (B,G,R): (0,0) (0,0,0) (639,0) (127,0,125) (0,479) (0,223,91) (639,479) (127,223,216)

rgb24_8x8.jxr
  24bppBGR {6FDDC324-4E03-4BFE-B185-3D77768DC90C}, 8 x 8, 96 x 96 dpi, orientation 0, lossless
  JxrEncApp -i src/rgb24_8x8.bmp -o rgb24_8x8.jxr -c 0
  base of dpi72.jxr, dpi300.jxr, dpi2000.jxr, dpi72x300.jxr
  pixel (x,y): (B,G,R) = (16*x + y, 16*y + x, 255 - 8*(x+y))
  pixels (B,G,R), top row first:
    row 0: (0,0,255) (16,1,247) (32,2,239) (48,3,231) (64,4,223) (80,5,215) (96,6,207) (112,7,199)
    row 1: (1,16,247) (17,17,239) (33,18,231) (49,19,223) (65,20,215) (81,21,207) (97,22,199) (113,23,191)
    row 2: (2,32,239) (18,33,231) (34,34,223) (50,35,215) (66,36,207) (82,37,199) (98,38,191) (114,39,183)
    row 3: (3,48,231) (19,49,223) (35,50,215) (51,51,207) (67,52,199) (83,53,191) (99,54,183) (115,55,175)
    row 4: (4,64,223) (20,65,215) (36,66,207) (52,67,199) (68,68,191) (84,69,183) (100,70,175) (116,71,167)
    row 5: (5,80,215) (21,81,207) (37,82,199) (53,83,191) (69,84,183) (85,85,175) (101,86,167) (117,87,159)
    row 6: (6,96,207) (22,97,199) (38,98,191) (54,99,183) (70,100,175) (86,101,167) (102,102,159) (118,103,151)
    row 7: (7,112,199) (23,113,191) (39,114,183) (55,115,175) (71,116,167) (87,117,159) (103,118,151) (119,119,143)

rgb24_4x2.jxr
  24bppBGR {6FDDC324-4E03-4BFE-B185-3D77768DC90C}, 4 x 2, 96 x 96 dpi, orientation 0, lossless
  JxrEncApp -i src/rgb24_4x2.bmp -o rgb24_4x2.jxr -c 0
  base of orient3.jxr and orient6.jxr
  pixels (B,G,R), top row first:
    row 0: (1,2,3) (11,12,13) (21,22,23) (31,32,33)
    row 1: (101,102,103) (111,112,113) (121,122,123) (131,132,133)

bw_33x2.jxr
  BlackWhite {6FDDC324-4E03-4BFE-B185-3D77768DC905}, 33 x 2, 96 x 96 dpi, orientation 0, lossless
  JxrEncApp -i src/bw_33x2.tif -o bw_33x2.jxr -c 1 -b 0
  -b 0 (the default): samples stored with 0 = black, 1 = white
  (codestream header byte 11, low nibble 0); source BlackIsZero TIFF
  row 0 white at x = 0,2,3,7,12..15,24..32; row 1 at x = 0,17,19,21,23,31
  pixels as bits, 1 = white, 0 = black, x = 0 first, top row first:
    row 0: 101100010000111100000000111111111  (bytes B1 0F 00 FF 80)
    row 1: 100000000000000001010101000000010  (bytes 80 00 55 01 00)

bw_33x2_b1.jxr
  BlackWhite {6FDDC324-4E03-4BFE-B185-3D77768DC905}, 33 x 2, 96 x 96 dpi, orientation 0, lossless
  JxrEncApp -i src/bw_33x2_b1.tif -o bw_33x2_b1.jxr -c 1 -b 1
  the same picture as bw_33x2.jxr, saved with -b 1: samples stored with
  0 = white (codestream header byte 11, low nibble 0xF), so the stored
  bits are the inverse of the picture below; a decoder has to invert
  them to report 0 = black, 1 = white.  Source: BlackIsZero TIFF of
  the inverted bits (JxrEncApp does not invert for -b).
  pixels as bits, 1 = white, 0 = black, x = 0 first, top row first:
    row 0: 101100010000111100000000111111111  (bytes B1 0F 00 FF 80)
    row 1: 100000000000000001010101000000010  (bytes 80 00 55 01 00)

gray8_5x2.jxr
  8bppGray {6FDDC324-4E03-4BFE-B185-3D77768DC908}, 5 x 2, 96 x 96 dpi, orientation 0, lossless
  JxrEncApp -i src/gray8_5x2.tif -o gray8_5x2.jxr -c 2
  pixels grey value, top row first:
    row 0: 0 50 100 150 255
    row 1: 1 2 3 4 5

gray16_3x2.jxr
  16bppGray {6FDDC324-4E03-4BFE-B185-3D77768DC90B}, 3 x 2, 96 x 96 dpi, orientation 0, lossless
  JxrEncApp -i src/gray16_3x2.tif -o gray16_3x2.jxr -c 3
  pixels grey value, top row first:
    row 0: 0x0000 0x00FF 0x0100
    row 1: 0x1234 0x8000 0xFFFF

bgr555_4x2.jxr
  16bppBGR555 {6FDDC324-4E03-4BFE-B185-3D77768DC909}, 4 x 2, 96 x 96 dpi, orientation 0, lossless
  JxrEncApp -i src/bgr555_4x2.tif -o bgr555_4x2.jxr -c 29
  source: 8-bit RGB TIFF holding each n-bit value v as (v << (8-n)) | (v >> (2n-8))
  pixels (R,G,B) 5-bit = stored word R<<10|G<<5|B, top row first:
    row 0: (31,0,0)=0x7C00 (0,31,0)=0x03E0 (0,0,31)=0x001F (31,31,31)=0x7FFF
    row 1: (0,0,0)=0x0000 (1,2,3)=0x0443 (16,8,4)=0x4104 (10,20,30)=0x2A9E

bgr565_4x2.jxr
  16bppBGR565 {6FDDC324-4E03-4BFE-B185-3D77768DC90A}, 4 x 2, 96 x 96 dpi, orientation 0, lossless
  JxrEncApp -i src/bgr565_4x2.tif -o bgr565_4x2.jxr -c 30
  source: 8-bit RGB TIFF holding each n-bit value v as (v << (8-n)) | (v >> (2n-8))
  pixels (R,G,B) 5/6/5-bit = stored word R<<11|G<<5|B, top row first:
    row 0: (31,0,0)=0xF800 (0,63,0)=0x07E0 (0,0,31)=0x001F (31,63,31)=0xFFFF
    row 1: (0,0,0)=0x0000 (1,2,3)=0x0843 (16,32,8)=0x8408 (10,40,20)=0x5514

bgra32_3x2.jxr
  32bppBGRA {6FDDC324-4E03-4BFE-B185-3D77768DC90F}, 3 x 2, 96 x 96 dpi, orientation 0, lossless
  JxrEncApp -i src/bgra32_3x2.bmp -o bgra32_3x2.jxr -c 22
  planar alpha (JxrEncApp default, same as -a 2): tags 0xBCC2 / 0xBCC3 present;
  0xBCC3 (alpha byte count) holds the size of the whole file, so it runs past the end
  pixels (B,G,R,A), top row first:
    row 0: (200,100,50,128) (10,20,30,0) (255,0,0,1)
    row 1: (0,0,255,254) (30,60,90,255) (12,34,56,200)

bgra32_3x2_interleaved.jxr
  32bppBGRA {6FDDC324-4E03-4BFE-B185-3D77768DC90F}, 3 x 2, 96 x 96 dpi, orientation 0, lossless
  JxrEncApp -i src/bgra32_3x2_interleaved.bmp -o bgra32_3x2_interleaved.jxr -c 22 -a 3
  interleaved alpha (-a 3): no alpha tags
  pixels (B,G,R,A), top row first:
    row 0: (200,100,50,128) (10,20,30,0) (255,0,0,1)
    row 1: (0,0,255,254) (30,60,90,255) (12,34,56,200)

rgb48_3x2.jxr
  48bppRGB {6FDDC324-4E03-4BFE-B185-3D77768DC915}, 3 x 2, 96 x 96 dpi, orientation 0, lossless
  JxrEncApp -i src/rgb48_3x2.tif -o rgb48_3x2.jxr -c 10
  pixels (R,G,B) 16-bit, top row first:
    row 0: (0xFFFF,0x0000,0x0000) (0x0000,0xFFFF,0x0000) (0x0000,0x0000,0xFFFF)
    row 1: (0x1234,0x5678,0x9ABC) (0x0001,0x0100,0x8000) (0xFFFF,0xFFFF,0xFFFF)

rgba64_2x2.jxr
  64bppRGBA {6FDDC324-4E03-4BFE-B185-3D77768DC916}, 2 x 2, 96 x 96 dpi, orientation 0, lossless
  JxrEncApp -i src/rgba64_2x2.tif -o rgba64_2x2.jxr -c 23
  source: 16-bit RGBA TIFF with ExtraSamples = 2 (unassociated alpha)
  pixels (R,G,B,A) 16-bit, top row first:
    row 0: (0xFFFF,0x0000,0x0000,0x8000) (0x0000,0xFFFF,0x0000,0xFFFF)
    row 1: (0x0000,0x0000,0xFFFF,0x0000) (0x1234,0x5678,0x9ABC,0x4000)

rgba128f_2x2.jxr
  128bppRGBAFloat {6FDDC324-4E03-4BFE-B185-3D77768DC919}, 2 x 2, 96 x 96 dpi, orientation 0, lossless
  JxrEncApp -i src/rgba128f_2x2.tif -o rgba128f_2x2.jxr -c 28
  planar alpha (the default): tags 0xBCC2 / 0xBCC3 present;
  0xBCC3 (alpha byte count) holds the size of the whole file, so it runs past the end
  pixels (R,G,B,A) float32, top row first:
    row 0: (1.0,0.0,0.0,1.0) (0.0,1.0,0.0,0.5)
    row 1: (0.0,0.25,1.0,0.25) (0.5,0.5,0.5,0.0)

grayh_3x1.jxr
  16bppGrayHalf {6FDDC324-4E03-4BFE-B185-3D77768DC93E}, 3 x 1, 96 x 96 dpi, orientation 0, lossless
  JxrEncApp -i src/grayh_3x1.tif -o grayh_3x1.jxr -c 5
  pixels grey value, half float, top row first:
    row 0: 0.0 0.5 1.5

rgbh_2x1.jxr
  48bppRGBHalf {6FDDC324-4E03-4BFE-B185-3D77768DC93B}, 2 x 1, 96 x 96 dpi, orientation 0, lossless
  JxrEncApp -i src/rgbh_2x1.tif -o rgbh_2x1.jxr -c 12
  pixels (R,G,B) half float, top row first:
    row 0: (1.0,0.25,0.0) (0.5,0.75,0.125)

hdr_half_32x4.jxr
  48bppRGBHalf {6FDDC324-4E03-4BFE-B185-3D77768DC93B}, 32 x 4, 96 x 96 dpi, orientation 0, lossless
  JxrEncApp -i src/hdr_half_32x4.tif -o hdr_half_32x4.jxr -c 12
  an HDR screenshot, linear light, 1.0 = SDR white: row 0 SDR white at 2.5,
  row 1 grey 0.0 .. 12.5 in steps of 0.5 then 2.5, row 2 saturated colours
  above 1.0 and greys 4, 8, 12, row 3 in range; largest luminance 12.5
  pixels (R,G,B) half float, top row first:
    row 0: (2.5,2.5,2.5) (2.5,2.5,2.5) (2.5,2.5,2.5) (2.5,2.5,2.5) (2.5,2.5,2.5) (2.5,2.5,2.5) (2.5,2.5,2.5) (2.5,2.5,2.5) (2.5,2.5,2.5) (2.5,2.5,2.5) (2.5,2.5,2.5) (2.5,2.5,2.5) (2.5,2.5,2.5) (2.5,2.5,2.5) (2.5,2.5,2.5) (2.5,2.5,2.5) (2.5,2.5,2.5) (2.5,2.5,2.5) (2.5,2.5,2.5) (2.5,2.5,2.5) (2.5,2.5,2.5) (2.5,2.5,2.5) (2.5,2.5,2.5) (2.5,2.5,2.5) (2.5,2.5,2.5) (2.5,2.5,2.5) (2.5,2.5,2.5) (2.5,2.5,2.5) (2.5,2.5,2.5) (2.5,2.5,2.5) (2.5,2.5,2.5) (2.5,2.5,2.5)
    row 1: (0.0,0.0,0.0) (0.5,0.5,0.5) (1.0,1.0,1.0) (1.5,1.5,1.5) (2.0,2.0,2.0) (2.5,2.5,2.5) (3.0,3.0,3.0) (3.5,3.5,3.5) (4.0,4.0,4.0) (4.5,4.5,4.5) (5.0,5.0,5.0) (5.5,5.5,5.5) (6.0,6.0,6.0) (6.5,6.5,6.5) (7.0,7.0,7.0) (7.5,7.5,7.5) (8.0,8.0,8.0) (8.5,8.5,8.5) (9.0,9.0,9.0) (9.5,9.5,9.5) (10.0,10.0,10.0) (10.5,10.5,10.5) (11.0,11.0,11.0) (11.5,11.5,11.5) (12.0,12.0,12.0) (12.5,12.5,12.5) (2.5,2.5,2.5) (2.5,2.5,2.5) (2.5,2.5,2.5) (2.5,2.5,2.5) (2.5,2.5,2.5) (2.5,2.5,2.5)
    row 2: (6.0,0.5,0.25) (0.25,4.0,0.125) (0.5,0.5,9.0) (3.0,3.0,0.25) (8.0,0.25,8.0) (0.25,6.0,6.0) (6.0,0.5,0.25) (0.25,4.0,0.125) (0.5,0.5,9.0) (3.0,3.0,0.25) (8.0,0.25,8.0) (0.25,6.0,6.0) (6.0,0.5,0.25) (0.25,4.0,0.125) (0.5,0.5,9.0) (3.0,3.0,0.25) (8.0,0.25,8.0) (0.25,6.0,6.0) (6.0,0.5,0.25) (0.25,4.0,0.125) (0.5,0.5,9.0) (3.0,3.0,0.25) (8.0,0.25,8.0) (0.25,6.0,6.0) (4.0,4.0,4.0) (8.0,8.0,8.0) (12.0,12.0,12.0) (4.0,4.0,4.0) (8.0,8.0,8.0) (12.0,12.0,12.0) (1.0,1.0,1.0) (0.0,0.0,0.0)
    row 3: (0.5,0.25,0.125) (1.0,1.0,1.0) (0.0,0.0,0.0) (0.75,0.5,1.0) (0.5,0.25,0.125) (1.0,1.0,1.0) (0.0,0.0,0.0) (0.75,0.5,1.0) (0.5,0.25,0.125) (1.0,1.0,1.0) (0.0,0.0,0.0) (0.75,0.5,1.0) (0.5,0.25,0.125) (1.0,1.0,1.0) (0.0,0.0,0.0) (0.75,0.5,1.0) (0.5,0.25,0.125) (1.0,1.0,1.0) (0.0,0.0,0.0) (0.75,0.5,1.0) (0.5,0.25,0.125) (1.0,1.0,1.0) (0.0,0.0,0.0) (0.75,0.5,1.0) (0.5,0.25,0.125) (1.0,1.0,1.0) (0.0,0.0,0.0) (0.75,0.5,1.0) (0.5,0.25,0.125) (1.0,1.0,1.0) (0.0,0.0,0.0) (0.75,0.5,1.0)

hdr_desktop_80nits_64x36.jxr
  48bppRGBHalf {6FDDC324-4E03-4BFE-B185-3D77768DC93B}, 64 x 36, 96 x 96 dpi, orientation 0, lossless
  JxrEncApp -i src/hdr_desktop_80nits_64x36.tif -o hdr_desktop_80nits_64x36.jxr -c 12
  a desktop screenshot (make_fixtures.desktop_scene), every SDR colour an sRGB
  level times W: wallpaper (R,G,B) levels (20+2x, 30+3y, 120); taskbar rows 32..35
  level 32; light window x 2..33, y 2..27: title rows 2..4 level 243, body W with
  text on rows 7,10,..,25 at x 4..31: (7x+3y) % 5 < 2 ink (0), == 2 level 128;
  dark window x 36..61, y 16..30: rows 16..17 level 43, then level 32 with white
  text on rows 20,23,26,29 at x 38..59 by the same rule;
  HDR picture x 36..61: rows 2..4 greys 4 W (x 36..43), 8 W (44..51), 12 W (52..61);
  rows 5..7 neon (3.6,0.1,0.06) W at x 36..43, then 3 columns each of the saturated
  colours of hdr_half_32x4.jxr times W / 2.5; rows 8..13 grey 0.25 W + 11.75 W (x-36)/25
  SDR white W = 1.0 (80 nits)
  corners (R,G,B) half float: (0,0) (0.006995410187265387,0.012983032342173012,0.18782077230067787) (63,0) (0.2874408377269175,0.012983032342173012,0.18782077230067787) (0,35) (0.014443843596092545,0.014443843596092545,0.014443843596092545) (63,35) (0.014443843596092545,0.014443843596092545,0.014443843596092545)

hdr_desktop_200nits_64x36.jxr
  48bppRGBHalf {6FDDC324-4E03-4BFE-B185-3D77768DC93B}, 64 x 36, 96 x 96 dpi, orientation 0, lossless
  JxrEncApp -i src/hdr_desktop_200nits_64x36.tif -o hdr_desktop_200nits_64x36.jxr -c 12
  the desktop of hdr_desktop_80nits_64x36.jxr at SDR white W = 2.5 (200 nits)
  corners (R,G,B) half float: (0,0) (0.017488525468163468,0.03245758085543253,0.46955193075169466) (63,0) (0.7186020943172937,0.03245758085543253,0.46955193075169466) (0,35) (0.036109608990231364,0.036109608990231364,0.036109608990231364) (63,35) (0.036109608990231364,0.036109608990231364,0.036109608990231364)

hdr_desktop_300nits_64x36.jxr
  48bppRGBHalf {6FDDC324-4E03-4BFE-B185-3D77768DC93B}, 64 x 36, 96 x 96 dpi, orientation 0, lossless
  JxrEncApp -i src/hdr_desktop_300nits_64x36.tif -o hdr_desktop_300nits_64x36.jxr -c 12
  the desktop of hdr_desktop_80nits_64x36.jxr at SDR white W = 3.75 (300 nits)
  corners (R,G,B) half float: (0,0) (0.0262327882022452,0.048686371283148795,0.704327896127542) (63,0) (1.0779031414759406,0.048686371283148795,0.704327896127542) (0,35) (0.05416441348534704,0.05416441348534704,0.05416441348534704) (63,35) (0.05416441348534704,0.05416441348534704,0.05416441348534704)

hdr_desktop_200nits_flat_64x36.jxr
  48bppRGBHalf {6FDDC324-4E03-4BFE-B185-3D77768DC93B}, 64 x 36, 96 x 96 dpi, orientation 0, lossless
  JxrEncApp -i src/hdr_desktop_200nits_flat_64x36.tif -o hdr_desktop_200nits_flat_64x36.jxr -c 12
  the desktop of hdr_desktop_80nits_64x36.jxr at SDR white W = 2.5 (200 nits)
  without the HDR picture (wallpaper there): nothing above W
  corners (R,G,B) half float: (0,0) (0.017488525468163468,0.03245758085543253,0.46955193075169466) (63,0) (0.7186020943172937,0.03245758085543253,0.46955193075169466) (0,35) (0.036109608990231364,0.036109608990231364,0.036109608990231364) (63,35) (0.036109608990231364,0.036109608990231364,0.036109608990231364)

hdr_game_64x36.jxr
  48bppRGBHalf {6FDDC324-4E03-4BFE-B185-3D77768DC93B}, 64 x 36, 96 x 96 dpi, orientation 0, lossless
  JxrEncApp -i src/hdr_game_64x36.tif -o hdr_game_64x36.jxr -c 12
  a game scene without UI (make_fixtures.game_scene): sky of luminance 20
  (top) to 5 (row 17), white clouds, sun 60 around (50,4), red neon
  (9.0,0.25,0.15) at x 6..13, y 12..14, foreground 0.02 .. 0.5 from row 18
  corners (R,G,B) half float: (0,0) (15.107911744880704,20.60169783392823,27.468930445237643) (63,0) (15.189945795436582,20.713562448322612,27.61808326443015) (0,35) (0.2069000789198984,0.22988897657766488,0.08046114180218271) (63,35) (0.2260039655691867,0.15820277589843068,0.10170178450613401)

hdr_wide_gamut_32x8.jxr
  48bppRGBHalf {6FDDC324-4E03-4BFE-B185-3D77768DC93B}, 32 x 8, 96 x 96 dpi, orientation 0, lossless
  JxrEncApp -i src/hdr_wide_gamut_32x8.tif -o hdr_wide_gamut_32x8.jxr -c 12
  colours outside sRGB (rows 0-1, and a quarter as bright in rows 2-3),
  a grey ramp to 4.0, greys of 8.0 (the peak), a dim brown
  pixels (R,G,B) half float, top row first:
    row 0: (-0.3,2.0,-0.1) (3.0,-0.2,0.1) (-0.1,-0.05,4.0) (1.5,1.2,-0.3) (-0.2,0.6,0.9) (0.8,-0.1,0.5) (6.0,2.0,-0.5) (-0.4,5.0,3.0) (-0.3,2.0,-0.1) (3.0,-0.2,0.1) (-0.1,-0.05,4.0) (1.5,1.2,-0.3) (-0.2,0.6,0.9) (0.8,-0.1,0.5) (6.0,2.0,-0.5) (-0.4,5.0,3.0) (-0.3,2.0,-0.1) (3.0,-0.2,0.1) (-0.1,-0.05,4.0) (1.5,1.2,-0.3) (-0.2,0.6,0.9) (0.8,-0.1,0.5) (6.0,2.0,-0.5) (-0.4,5.0,3.0) (-0.3,2.0,-0.1) (3.0,-0.2,0.1) (-0.1,-0.05,4.0) (1.5,1.2,-0.3) (-0.2,0.6,0.9) (0.8,-0.1,0.5) (6.0,2.0,-0.5) (-0.4,5.0,3.0)
    row 1: (-0.3,2.0,-0.1) (3.0,-0.2,0.1) (-0.1,-0.05,4.0) (1.5,1.2,-0.3) (-0.2,0.6,0.9) (0.8,-0.1,0.5) (6.0,2.0,-0.5) (-0.4,5.0,3.0) (-0.3,2.0,-0.1) (3.0,-0.2,0.1) (-0.1,-0.05,4.0) (1.5,1.2,-0.3) (-0.2,0.6,0.9) (0.8,-0.1,0.5) (6.0,2.0,-0.5) (-0.4,5.0,3.0) (-0.3,2.0,-0.1) (3.0,-0.2,0.1) (-0.1,-0.05,4.0) (1.5,1.2,-0.3) (-0.2,0.6,0.9) (0.8,-0.1,0.5) (6.0,2.0,-0.5) (-0.4,5.0,3.0) (-0.3,2.0,-0.1) (3.0,-0.2,0.1) (-0.1,-0.05,4.0) (1.5,1.2,-0.3) (-0.2,0.6,0.9) (0.8,-0.1,0.5) (6.0,2.0,-0.5) (-0.4,5.0,3.0)
    row 2: (-0.075,0.5,-0.025) (0.75,-0.05,0.025) (-0.025,-0.0125,1.0) (0.375,0.3,-0.075) (-0.05,0.15,0.225) (0.2,-0.025,0.125) (1.5,0.5,-0.125) (-0.1,1.25,0.75) (-0.075,0.5,-0.025) (0.75,-0.05,0.025) (-0.025,-0.0125,1.0) (0.375,0.3,-0.075) (-0.05,0.15,0.225) (0.2,-0.025,0.125) (1.5,0.5,-0.125) (-0.1,1.25,0.75) (-0.075,0.5,-0.025) (0.75,-0.05,0.025) (-0.025,-0.0125,1.0) (0.375,0.3,-0.075) (-0.05,0.15,0.225) (0.2,-0.025,0.125) (1.5,0.5,-0.125) (-0.1,1.25,0.75) (-0.075,0.5,-0.025) (0.75,-0.05,0.025) (-0.025,-0.0125,1.0) (0.375,0.3,-0.075) (-0.05,0.15,0.225) (0.2,-0.025,0.125) (1.5,0.5,-0.125) (-0.1,1.25,0.75)
    row 3: (-0.075,0.5,-0.025) (0.75,-0.05,0.025) (-0.025,-0.0125,1.0) (0.375,0.3,-0.075) (-0.05,0.15,0.225) (0.2,-0.025,0.125) (1.5,0.5,-0.125) (-0.1,1.25,0.75) (-0.075,0.5,-0.025) (0.75,-0.05,0.025) (-0.025,-0.0125,1.0) (0.375,0.3,-0.075) (-0.05,0.15,0.225) (0.2,-0.025,0.125) (1.5,0.5,-0.125) (-0.1,1.25,0.75) (-0.075,0.5,-0.025) (0.75,-0.05,0.025) (-0.025,-0.0125,1.0) (0.375,0.3,-0.075) (-0.05,0.15,0.225) (0.2,-0.025,0.125) (1.5,0.5,-0.125) (-0.1,1.25,0.75) (-0.075,0.5,-0.025) (0.75,-0.05,0.025) (-0.025,-0.0125,1.0) (0.375,0.3,-0.075) (-0.05,0.15,0.225) (0.2,-0.025,0.125) (1.5,0.5,-0.125) (-0.1,1.25,0.75)
    row 4: (0.125,0.125,0.125) (0.25,0.25,0.25) (0.375,0.375,0.375) (0.5,0.5,0.5) (0.625,0.625,0.625) (0.75,0.75,0.75) (0.875,0.875,0.875) (1.0,1.0,1.0) (1.125,1.125,1.125) (1.25,1.25,1.25) (1.375,1.375,1.375) (1.5,1.5,1.5) (1.625,1.625,1.625) (1.75,1.75,1.75) (1.875,1.875,1.875) (2.0,2.0,2.0) (2.125,2.125,2.125) (2.25,2.25,2.25) (2.375,2.375,2.375) (2.5,2.5,2.5) (2.625,2.625,2.625) (2.75,2.75,2.75) (2.875,2.875,2.875) (3.0,3.0,3.0) (3.125,3.125,3.125) (3.25,3.25,3.25) (3.375,3.375,3.375) (3.5,3.5,3.5) (3.625,3.625,3.625) (3.75,3.75,3.75) (3.875,3.875,3.875) (4.0,4.0,4.0)
    row 5: (8.0,8.0,8.0) (8.0,8.0,8.0) (8.0,8.0,8.0) (8.0,8.0,8.0) (8.0,8.0,8.0) (8.0,8.0,8.0) (8.0,8.0,8.0) (8.0,8.0,8.0) (8.0,8.0,8.0) (8.0,8.0,8.0) (8.0,8.0,8.0) (8.0,8.0,8.0) (8.0,8.0,8.0) (8.0,8.0,8.0) (8.0,8.0,8.0) (8.0,8.0,8.0) (8.0,8.0,8.0) (8.0,8.0,8.0) (8.0,8.0,8.0) (8.0,8.0,8.0) (8.0,8.0,8.0) (8.0,8.0,8.0) (8.0,8.0,8.0) (8.0,8.0,8.0) (8.0,8.0,8.0) (8.0,8.0,8.0) (8.0,8.0,8.0) (8.0,8.0,8.0) (8.0,8.0,8.0) (8.0,8.0,8.0) (8.0,8.0,8.0) (8.0,8.0,8.0)
    row 6: (0.2,0.1,0.05) (0.2,0.1,0.05) (0.2,0.1,0.05) (0.2,0.1,0.05) (0.2,0.1,0.05) (0.2,0.1,0.05) (0.2,0.1,0.05) (0.2,0.1,0.05) (0.2,0.1,0.05) (0.2,0.1,0.05) (0.2,0.1,0.05) (0.2,0.1,0.05) (0.2,0.1,0.05) (0.2,0.1,0.05) (0.2,0.1,0.05) (0.2,0.1,0.05) (0.2,0.1,0.05) (0.2,0.1,0.05) (0.2,0.1,0.05) (0.2,0.1,0.05) (0.2,0.1,0.05) (0.2,0.1,0.05) (0.2,0.1,0.05) (0.2,0.1,0.05) (0.2,0.1,0.05) (0.2,0.1,0.05) (0.2,0.1,0.05) (0.2,0.1,0.05) (0.2,0.1,0.05) (0.2,0.1,0.05) (0.2,0.1,0.05) (0.2,0.1,0.05)
    row 7: (0.2,0.1,0.05) (0.2,0.1,0.05) (0.2,0.1,0.05) (0.2,0.1,0.05) (0.2,0.1,0.05) (0.2,0.1,0.05) (0.2,0.1,0.05) (0.2,0.1,0.05) (0.2,0.1,0.05) (0.2,0.1,0.05) (0.2,0.1,0.05) (0.2,0.1,0.05) (0.2,0.1,0.05) (0.2,0.1,0.05) (0.2,0.1,0.05) (0.2,0.1,0.05) (0.2,0.1,0.05) (0.2,0.1,0.05) (0.2,0.1,0.05) (0.2,0.1,0.05) (0.2,0.1,0.05) (0.2,0.1,0.05) (0.2,0.1,0.05) (0.2,0.1,0.05) (0.2,0.1,0.05) (0.2,0.1,0.05) (0.2,0.1,0.05) (0.2,0.1,0.05) (0.2,0.1,0.05) (0.2,0.1,0.05) (0.2,0.1,0.05) (0.2,0.1,0.05)

inrange_half_4x2.jxr
  48bppRGBHalf {6FDDC324-4E03-4BFE-B185-3D77768DC93B}, 4 x 2, 96 x 96 dpi, orientation 0, lossless
  JxrEncApp -i src/inrange_half_4x2.tif -o inrange_half_4x2.jxr -c 12
  every channel within 0.0 .. 1.0: nothing to tone map
  pixels (R,G,B) half float, top row first:
    row 0: (0.0,0.0,0.0) (1.0,1.0,1.0) (0.5,0.25,0.125) (0.75,0.5,1.0)
    row 1: (0.0625,0.375,0.875) (1.0,0.0,0.0) (0.25,0.25,0.25) (0.125,1.0,0.5)

rgbah_2x2.jxr
  64bppRGBAHalf {6FDDC324-4E03-4BFE-B185-3D77768DC93A}, 2 x 2, 96 x 96 dpi, orientation 0, lossless
  JxrEncApp -i src/rgbah_2x2.tif -o rgbah_2x2.jxr -c 25
  values above 1.0 (up to 8.0): brighter than white, clipped for display
  pixels (R,G,B,A) half float, top row first:
    row 0: (2.0,0.5,0.0,1.0) (1.0,1.0,1.0,0.5)
    row 1: (0.25,4.0,0.5,0.0) (0.0,0.0,8.0,0.25)

grayf_3x1.jxr
  32bppGrayFloat {6FDDC324-4E03-4BFE-B185-3D77768DC911}, 3 x 1, 96 x 96 dpi, orientation 0, lossless
  JxrEncApp -i src/grayf_3x1.tif -o grayf_3x1.jxr -c 8
  pixels grey value, float32, top row first:
    row 0: 0.25 0.5 2.0

rgb48fx_2x1.jxr
  48bppRGBFixedPoint {6FDDC324-4E03-4BFE-B185-3D77768DC912}, 2 x 1, 96 x 96 dpi, orientation 0, lossless
  JxrEncApp -i src/rgb48fx_2x1.tif -o rgb48fx_2x1.jxr -c 11
  pixels (R,G,B) fixed point s2.13 (1.0 = 0x2000), top row first:
    row 0: (1.0,0.5,0.0) (0.0,0.25,2.0)

rgb96fx_2x1.jxr
  96bppRGBFixedPoint {6FDDC324-4E03-4BFE-B185-3D77768DC918}, 2 x 1, 96 x 96 dpi, orientation 0, lossless
  JxrEncApp -i src/rgb96fx_2x1.tif -o rgb96fx_2x1.jxr -c 14
  pixels (R,G,B) fixed point s7.24 (1.0 = 0x1000000), top row first:
    row 0: (1.0,0.5,0.0) (0.0,0.25,2.0)

rgbe_3x1.jxr
  32bppRGBE {6FDDC324-4E03-4BFE-B185-3D77768DC93D}, 3 x 1, 96 x 96 dpi, orientation 0, lossless
  JxrEncApp -i src/rgbe_3x1.hdr -o rgbe_3x1.jxr -c 16
  source: flat Radiance file; JxrEncApp renormalises mantissas, so every
  pixel is stored with its largest mantissa at 128 or more (or all 0)
  pixels (R,G,B,E) bytes: value = mantissa * 2^(E-136), top row first:
    row 0: (128,64,0,129) (255,128,16,127) (0,0,0,0)

bgr101010_2x1.jxr
  32bppBGR101010 {6FDDC324-4E03-4BFE-B185-3D77768DC914}, 2 x 1, 96 x 96 dpi, orientation 0, lossless
  JxrEncApp -i src/bgr101010_2x1.tif -o bgr101010_2x1.jxr -c 31
  source: a TIFF marked 10-bit RGB whose rows hold the stored words as
  they are (little-endian); JxrEncApp and JxrDecApp copy those bytes
  pixels (R,G,B) 10-bit = stored word R<<20|G<<10|B, top row first:
    row 0: (1023,512,0)=0x3FF80000 (0,1,1000)=0x000007E8

cmyka40_2x1.jxr
  40bppCMYKAlpha {6FDDC324-4E03-4BFE-B185-3D77768DC92C}, 2 x 1, 96 x 96 dpi, orientation 0, lossless
  JxrEncApp -i src/cmyka40_2x1.tif -o cmyka40_2x1.jxr -c 32
  source: 8-bit separated (CMYK) TIFF with ExtraSamples = 2
  pixels (C,M,Y,K,A), top row first:
    row 0: (0,255,128,64,200) (10,20,30,40,50)

lossy_rgb24_64x64.jxr
  24bppBGR {6FDDC324-4E03-4BFE-B185-3D77768DC90C}, 64 x 64, 96 x 96 dpi, orientation 0, lossy
  JxrEncApp -i src/lossy_rgb24_64x64.bmp -o lossy_rgb24_64x64.jxr -c 0 -q 0.5
  lossy (-q 0.5): decoded values are near the source, not equal
  (checked here: mean absolute difference at most 2.0)
  pixel (x,y): source (B,G,R) = (4*x, 4*y, 128 + 2*(x-y))
  corners (B,G,R): (0,0) (0,0,128) (63,0) (252,0,254) (0,63) (0,252,2) (63,63) (252,252,128)

dpi72.jxr
  24bppBGR {6FDDC324-4E03-4BFE-B185-3D77768DC90C}, 8 x 8, 72 x 72 dpi, orientation 0, lossless
  rgb24_8x8.jxr with 0xBC82 = 72 (float32 0x42900000), 0xBC83 = 72 (0x42900000)
  pixels as rgb24_8x8.jxr

dpi300.jxr
  24bppBGR {6FDDC324-4E03-4BFE-B185-3D77768DC90C}, 8 x 8, 300 x 300 dpi, orientation 0, lossless
  rgb24_8x8.jxr with 0xBC82 = 300 (float32 0x43960000), 0xBC83 = 300 (0x43960000)
  pixels as rgb24_8x8.jxr

dpi2000.jxr
  24bppBGR {6FDDC324-4E03-4BFE-B185-3D77768DC90C}, 8 x 8, 2000 x 2000 dpi, orientation 0, lossless
  rgb24_8x8.jxr with 0xBC82 = 2000 (float32 0x44FA0000), 0xBC83 = 2000 (0x44FA0000)
  pixels as rgb24_8x8.jxr

dpi72x300.jxr
  24bppBGR {6FDDC324-4E03-4BFE-B185-3D77768DC90C}, 8 x 8, 72 x 300 dpi, orientation 0, lossless
  rgb24_8x8.jxr with 0xBC82 = 72 (float32 0x42900000), 0xBC83 = 300 (0x43960000)
  pixels as rgb24_8x8.jxr

orient3.jxr
  24bppBGR {6FDDC324-4E03-4BFE-B185-3D77768DC90C}, 4 x 2, 96 x 96 dpi, orientation 3, lossless
  rgb24_4x2.jxr with 0xBC02 (LONG) = 3; stored pixels as rgb24_4x2.jxr
  shown 4 x 2, turned 180 degrees, top row first:
    row 0: (131,132,133) (121,122,123) (111,112,113) (101,102,103)
    row 1: (31,32,33) (21,22,23) (11,12,13) (1,2,3)

orient6.jxr
  24bppBGR {6FDDC324-4E03-4BFE-B185-3D77768DC90C}, 4 x 2, 96 x 96 dpi, orientation 6, lossless
  rgb24_4x2.jxr with 0xBC02 (LONG) = 6; stored pixels as rgb24_4x2.jxr
  shown 2 x 4, transposed (rotate 90 cw + flip horizontally), top row first:
    row 0: (1,2,3) (101,102,103)
    row 1: (11,12,13) (111,112,113)
    row 2: (21,22,23) (121,122,123)
    row 3: (31,32,33) (131,132,133)

sample.png, png_named.jxr: PNG, 3 x 2, 8-bit RGB, one IDAT
sample.bmp, bmp_named.jxr: BMP, 3 x 2, 24 bits, bottom-up, no resolution
sample.tif, tif_named.jxr: TIFF "II", 3 x 2, 8-bit RGB, uncompressed, one strip
  the same pixels in all six, (R,G,B), top row first:
    row 0: (255,0,0) (0,255,0) (0,0,255)
    row 1: (0,0,0) (128,128,128) (255,255,255)

truncated.jxr: the first 100 bytes of rgb24_640x480.jxr (the IFD is cut short)
"""

import hashlib
import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib

# --------------------------------------------------------------------------
# Errors and small helpers

class FixtureError(Exception):
    pass


def fail(message):
    raise FixtureError(message)


def write_file(path, data):
    """Writes atomically: a concurrent or interrupted run never leaves a
    half-written file under the final name."""
    tmp = '%s.tmp%d' % (path, os.getpid())
    with open(tmp, 'wb') as f:
        f.write(data)
    os.replace(tmp, path)


def read_file(path):
    with open(path, 'rb') as f:
        return f.read()


def run(args):
    tool = shutil.which(args[0])
    if tool is None:
        fail('%s not found (Debian package libjxr-tools)' % args[0])
    p = subprocess.run([tool] + args[1:], stdin=subprocess.DEVNULL,
                       stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    if p.returncode != 0:
        fail('%s failed with exit status %d:\n%s' % (
            ' '.join(args), p.returncode,
            p.stdout.decode('utf-8', 'replace').strip()))


# --------------------------------------------------------------------------
# Uncompressed source formats (writers) and decoded output (readers)

def make_bmp(width, height, rows, bpp):
    """rows: top row first, each width * bpp / 8 bytes (B,G,R[,A])."""
    row_bytes = width * bpp // 8
    stride = (row_bytes + 3) & ~3
    pixels = bytearray()
    for row in reversed(rows):
        if len(row) != row_bytes:
            fail('internal: BMP row of %d bytes, expected %d' % (len(row), row_bytes))
        pixels += row + bytes(stride - row_bytes)
    # No resolution (0 pixels per metre) gives exactly 96 dpi in the .jxr.
    info = struct.pack('<IiiHHIIiiII', 40, width, height, 1, bpp, 0,
                       len(pixels), 0, 0, 0, 0)
    head = struct.pack('<2sIHHI', b'BM', 14 + 40 + len(pixels), 0, 0, 14 + 40)
    return head + info + bytes(pixels)


def write_bmp_stream(path, width, height, row_iter, bpp):
    """Large BMP written row by row; row_iter yields rows bottom row first."""
    row_bytes = width * bpp // 8
    if row_bytes % 4:
        fail('internal: large BMP rows must be a multiple of 4 bytes')
    size = row_bytes * height
    info = struct.pack('<IiiHHIIiiII', 40, width, height, 1, bpp, 0,
                       size, 0, 0, 0, 0)
    head = struct.pack('<2sIHHI', b'BM', 54 + size, 0, 0, 54)
    tmp = '%s.tmp%d' % (path, os.getpid())
    with open(tmp, 'wb') as f:
        f.write(head + info)
        for row in row_iter:
            f.write(row)
    os.replace(tmp, path)


def read_bmp(path):
    d = read_file(path)
    if len(d) < 54 or d[:2] != b'BM':
        fail('%s: not a BMP' % path)
    data_off = struct.unpack_from('<I', d, 10)[0]
    hsize, width, height, planes, bpp, comp = struct.unpack_from('<IiiHHI', d, 14)
    masks = None
    if comp == 3:
        masks = struct.unpack_from('<III', d, 14 + 40)
    elif comp != 0:
        fail('%s: BMP compression %d' % (path, comp))
    top_down = height < 0
    height = abs(height)
    row_bytes = (width * bpp + 7) // 8
    stride = ((width * bpp + 31) // 32) * 4
    if data_off + stride * height > len(d):
        fail('%s: BMP pixel data truncated' % path)
    view = memoryview(d)
    rows = [view[data_off + i * stride:data_off + i * stride + row_bytes]
            for i in range(height)]
    if not top_down:
        rows.reverse()
    return {'width': width, 'height': height, 'bpp': bpp,
            'compression': comp, 'masks': masks, 'rows': rows}


TIFF_SHORT, TIFF_LONG = 3, 4


def make_tiff(width, height, bits, samples, photometric, pixels,
              sample_format=1, extra_samples=None):
    """Little-endian, uncompressed, one strip, no resolution tags."""
    tags = {256: (TIFF_LONG, [width]), 257: (TIFF_LONG, [height]),
            258: (TIFF_SHORT, [bits] * samples), 259: (TIFF_SHORT, [1]),
            262: (TIFF_SHORT, [photometric]), 273: (TIFF_LONG, [0]),
            277: (TIFF_SHORT, [samples]), 278: (TIFF_LONG, [height]),
            279: (TIFF_LONG, [len(pixels)]), 284: (TIFF_SHORT, [1]),
            339: (TIFF_SHORT, [sample_format] * samples)}
    if extra_samples is not None:
        tags[338] = (TIFF_SHORT, [extra_samples])

    def pack(kind, values):
        return b''.join(struct.pack('<H' if kind == TIFF_SHORT else '<I', v)
                        for v in values)

    order = sorted(tags)
    ext_start = 8 + 2 + 12 * len(order) + 4
    data_start = ext_start + sum(len(pack(*tags[t])) for t in order
                                 if len(pack(*tags[t])) > 4)
    tags[273] = (TIFF_LONG, [data_start])
    out = bytearray(struct.pack('<2sHIH', b'II', 42, 8, len(order)))
    ext = bytearray()
    for t in order:
        kind, values = tags[t]
        blob = pack(kind, values)
        if len(blob) > 4:
            out += struct.pack('<HHII', t, kind, len(values), ext_start + len(ext))
            ext += blob
        else:
            out += struct.pack('<HHI', t, kind, len(values)) + blob.ljust(4, b'\0')
    out += bytes(4) + ext
    if len(out) != data_start:
        fail('internal: TIFF layout')
    return bytes(out) + pixels


def read_tiff(path):
    d = read_file(path)
    if d[:4] != b'II*\0':
        fail('%s: not a little-endian TIFF' % path)
    off = struct.unpack_from('<I', d, 4)[0]
    count = struct.unpack_from('<H', d, off)[0]
    sizes = {1: 1, 3: 2, 4: 4, 5: 8}
    tags = {}
    for i in range(count):
        tag, kind, n, field = struct.unpack_from('<HHI4s', d, off + 2 + 12 * i)
        size = sizes.get(kind)
        if size is None:
            continue
        blob = field if size * n <= 4 else d[struct.unpack('<I', field)[0]:][:size * n]
        if kind == 3:
            tags[tag] = list(struct.unpack('<%dH' % n, blob[:2 * n]))
        elif kind == 4:
            tags[tag] = list(struct.unpack('<%dI' % n, blob[:4 * n]))
        elif kind == 1:
            tags[tag] = list(blob[:n])
    width, height = tags[256][0], tags[257][0]
    if tags.get(259, [1])[0] != 1:
        fail('%s: compressed TIFF' % path)
    data = b''.join(d[o:o + c] for o, c in zip(tags[273], tags[279]))
    bits = tags.get(258, [1])
    samples = tags.get(277, [1])[0]
    row_bytes = (width * samples * bits[0] + 7) // 8
    if len(data) < row_bytes * height:
        fail('%s: TIFF strips shorter than the image' % path)
    return {'width': width, 'height': height, 'bits': bits, 'samples': samples,
            'photometric': tags.get(262, [None])[0],
            'sample_format': tags.get(339, [1])[0],
            'rows': [data[i * row_bytes:(i + 1) * row_bytes] for i in range(height)]}


def make_png(width, height, rows):
    """8-bit RGB PNG; rows are R,G,B bytes, top row first."""
    def chunk(kind, body):
        return (struct.pack('>I', len(body)) + kind + body +
                struct.pack('>I', zlib.crc32(kind + body) & 0xFFFFFFFF))
    raw = b''.join(b'\0' + r for r in rows)
    return (b'\x89PNG\r\n\x1a\n' +
            chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, 8, 2, 0, 0, 0)) +
            chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b''))


def read_png(path):
    """Rows of an 8-bit RGB PNG written by make_png (filter 0 only)."""
    d = read_file(path)
    if d[:8] != b'\x89PNG\r\n\x1a\n':
        fail('%s: not a PNG' % path)
    at, idat, size = 8, b'', None
    while at < len(d):
        n, kind = struct.unpack_from('>I4s', d, at)
        body = d[at + 8:at + 8 + n]
        if struct.unpack_from('>I', d, at + 8 + n)[0] != zlib.crc32(kind + body) & 0xFFFFFFFF:
            fail('%s: bad CRC in chunk %r' % (path, kind))
        if kind == b'IHDR':
            size = struct.unpack('>IIBBBBB', body)
        elif kind == b'IDAT':
            idat += body
        at += 12 + n
    if size is None or size[2:] != (8, 2, 0, 0, 0):
        fail('%s: not an 8-bit RGB PNG' % path)
    width, height = size[:2]
    raw = zlib.decompress(idat)
    stride = 1 + 3 * width
    if len(raw) != stride * height or any(raw[i * stride] for i in range(height)):
        fail('%s: unexpected filtered data' % path)
    return [raw[i * stride + 1:(i + 1) * stride] for i in range(height)]


# --------------------------------------------------------------------------
# The JPEG XR container: "II", 0xBC, 0x01, the first IFD's offset, then IFD
# entries of 12 bytes (tag, type, count, value or offset).

TAG_PIXEL_FORMAT = 0xBC01
TAG_ORIENTATION = 0xBC02
TAG_WIDTH = 0xBC80
TAG_HEIGHT = 0xBC81
TAG_DPI_X = 0xBC82
TAG_DPI_Y = 0xBC83

TYPE_BYTE, TYPE_SHORT, TYPE_LONG, TYPE_FLOAT = 1, 3, 4, 11
TYPE_SIZES = {1: 1, 2: 1, 3: 2, 4: 4, 5: 8, 6: 1, 7: 1, 8: 2, 9: 4, 10: 8,
              11: 4, 12: 8}


def read_ifd(data, name='container'):
    """Returns {tag: (type, count, entry_offset)} of the first IFD."""
    if len(data) < 8 or data[:4] != b'II\xbc\x01':
        fail('%s: no JPEG XR container header (II BC 01)' % name)
    ifd = struct.unpack_from('<I', data, 4)[0]
    if ifd < 8 or ifd + 2 > len(data):
        fail('%s: IFD offset %d outside the file (%d bytes)' % (name, ifd, len(data)))
    count = struct.unpack_from('<H', data, ifd)[0]
    if count == 0 or ifd + 2 + 12 * count > len(data):
        fail('%s: IFD of %d entries does not fit in the file' % (name, count))
    entries = {}
    for i in range(count):
        at = ifd + 2 + 12 * i
        tag, kind, n = struct.unpack_from('<HHI', data, at)
        if tag in entries:
            fail('%s: tag 0x%04X twice in the IFD' % (name, tag))
        entries[tag] = (kind, n, at)
    return entries


def tag_values(data, tag, name='container'):
    """Values of one tag as a list (ints, floats) or bytes for BYTE tags."""
    entries = read_ifd(data, name)
    if tag not in entries:
        fail('%s: tag 0x%04X absent' % (name, tag))
    kind, n, at = entries[tag]
    size = TYPE_SIZES.get(kind)
    if size is None:
        fail('%s: tag 0x%04X has unknown type %d' % (name, tag, kind))
    if size * n <= 4:
        blob = data[at + 8:at + 8 + size * n]
    else:
        start = struct.unpack_from('<I', data, at + 8)[0]
        if start + size * n > len(data):
            fail('%s: tag 0x%04X points outside the file' % (name, tag))
        blob = data[start:start + size * n]
    if kind == TYPE_BYTE:
        return bytes(blob)
    fmt = {TYPE_SHORT: 'H', TYPE_LONG: 'I', TYPE_FLOAT: 'f'}.get(kind)
    if fmt is None:
        fail('%s: tag 0x%04X of type %d not handled' % (name, tag, kind))
    return list(struct.unpack('<%d%s' % (n, fmt), blob))


def patch_tags(path_in, path_out, values):
    """Copies path_in to path_out with the given single-value tags changed in
    place: {tag: value}; FLOAT (type 11) takes a float, SHORT / LONG (3 / 4)
    an int.  The tag must already exist with count 1; nothing is added."""
    data = bytearray(read_file(path_in))
    entries = read_ifd(data, path_in)
    for tag, value in sorted(values.items()):
        if tag not in entries:
            fail('%s: tag 0x%04X absent, cannot patch it' % (path_in, tag))
        kind, n, at = entries[tag]
        if n != 1:
            fail('%s: tag 0x%04X has %d values, expected 1' % (path_in, tag, n))
        if kind == TYPE_FLOAT:
            field = struct.pack('<f', value)
            if struct.unpack('<f', field)[0] != value:
                fail('%r is not exact as float32' % (value,))
        elif kind == TYPE_SHORT:
            if not 0 <= value <= 0xFFFF:
                fail('%r does not fit in a SHORT' % (value,))
            field = struct.pack('<H', value) + bytes(data[at + 10:at + 12])
        elif kind == TYPE_LONG:
            if not 0 <= value <= 0xFFFFFFFF:
                fail('%r does not fit in a LONG' % (value,))
            field = struct.pack('<I', value)
        else:
            fail('%s: tag 0x%04X has type %d; only 3, 4 and 11 can be patched'
                 % (path_in, tag, kind))
        data[at + 8:at + 12] = field
    for tag, value in values.items():
        if tag_values(bytes(data), tag, path_out) != [value]:
            fail('%s: tag 0x%04X did not read back as %r' % (path_out, tag, value))
    write_file(path_out, bytes(data))


# --------------------------------------------------------------------------
# Pixel formats: how expected pixels are packed into rows and listed

GUID_PREFIX = bytes.fromhex('24c3dd6f034efe4bb1853d77768dc9')
GUID_TEXT = '{6FDDC324-4E03-4BFE-B185-3D77768DC9%02X}'


class Format:
    def __init__(self, name, guid_last, code, pack, show, legend, show_row=None,
                 tiff=None, tiff_pack=None):
        self.name, self.guid_last, self.code = name, guid_last, code
        self.pack, self.show, self.legend = pack, show, legend
        self.show_row = show_row or (lambda r: ' '.join(show(p) for p in r))
        # (bits, samples, photometric, sample format, extra samples) of the
        # TIFF that holds the source and that JxrDecApp writes back, and how
        # a row goes into it (the stored bytes unless said otherwise).
        self.tiff, self.tiff_pack = tiff, tiff_pack or pack


def pack_bits(values):
    out = bytearray((len(values) + 7) // 8)
    for x, v in enumerate(values):
        if v:
            out[x // 8] |= 0x80 >> (x % 8)
    return bytes(out)


def word555(p):
    return p[0] << 10 | p[1] << 5 | p[2]


def word565(p):
    return p[0] << 11 | p[1] << 5 | p[2]


def show_tuple(p):
    return '(%s)' % ','.join(str(v) for v in p)


def show_float(p):
    return '(%s)' % ','.join(repr(v) for v in p)


FORMATS = {
    'bgr24': Format('24bppBGR', 0x0C, 0, lambda r: bytes(v for p in r for v in p),
                    show_tuple, '(B,G,R)'),
    'bgra32': Format('32bppBGRA', 0x0F, 22, lambda r: bytes(v for p in r for v in p),
                     show_tuple, '(B,G,R,A)'),
    'bw': Format('BlackWhite', 0x05, 1, pack_bits, str,
                 'as bits, 1 = white, 0 = black, x = 0 first',
                 lambda r: '%s  (bytes %s)' % (''.join(map(str, r)),
                                               pack_bits(r).hex(' ').upper())),
    'gray8': Format('8bppGray', 0x08, 2, bytes, str, 'grey value'),
    'gray16': Format('16bppGray', 0x0B, 3,
                     lambda r: struct.pack('<%dH' % len(r), *r),
                     lambda v: '0x%04X' % v, 'grey value'),
    '555': Format('16bppBGR555', 0x09, 29,
                  lambda r: struct.pack('<%dH' % len(r), *map(word555, r)),
                  lambda p: '(%d,%d,%d)=0x%04X' % (p + (word555(p),)),
                  '(R,G,B) 5-bit = stored word R<<10|G<<5|B'),
    '565': Format('16bppBGR565', 0x0A, 30,
                  lambda r: struct.pack('<%dH' % len(r), *map(word565, r)),
                  lambda p: '(%d,%d,%d)=0x%04X' % (p + (word565(p),)),
                  '(R,G,B) 5/6/5-bit = stored word R<<11|G<<5|B'),
    'rgb48': Format('48bppRGB', 0x15, 10,
                    lambda r: b''.join(struct.pack('<3H', *p) for p in r),
                    lambda p: '(%s)' % ','.join('0x%04X' % v for v in p),
                    '(R,G,B) 16-bit'),
    'rgba64': Format('64bppRGBA', 0x16, 23,
                     lambda r: b''.join(struct.pack('<4H', *p) for p in r),
                     lambda p: '(%s)' % ','.join('0x%04X' % v for v in p),
                     '(R,G,B,A) 16-bit'),
    'rgba128f': Format('128bppRGBAFloat', 0x19, 28,
                       lambda r: b''.join(struct.pack('<4f', *p) for p in r),
                       show_float, '(R,G,B,A) float32'),
    'grayh': Format('16bppGrayHalf', 0x3E, 5, lambda r: struct.pack('<%de' % len(r), *r),
                    repr, 'grey value, half float', tiff=(16, 1, 1, 3, None)),
    'rgbh': Format('48bppRGBHalf', 0x3B, 12,
                   lambda r: b''.join(struct.pack('<3e', *p) for p in r),
                   show_float, '(R,G,B) half float', tiff=(16, 3, 2, 3, None)),
    'rgbah': Format('64bppRGBAHalf', 0x3A, 25,
                    lambda r: b''.join(struct.pack('<4e', *p) for p in r),
                    show_float, '(R,G,B,A) half float', tiff=(16, 4, 2, 3, 2)),
    'grayf': Format('32bppGrayFloat', 0x11, 8, lambda r: struct.pack('<%df' % len(r), *r),
                    repr, 'grey value, float32', tiff=(32, 1, 1, 3, None)),
    'rgb48fx': Format('48bppRGBFixedPoint', 0x12, 11,
                      lambda r: b''.join(struct.pack('<3h', *(fixed(v, 13) for v in p)) for p in r),
                      show_float, '(R,G,B) fixed point s2.13 (1.0 = 0x2000)',
                      tiff=(16, 3, 2, 2, None)),
    'rgb96fx': Format('96bppRGBFixedPoint', 0x18, 14,
                      lambda r: b''.join(struct.pack('<3i', *(fixed(v, 24) for v in p)) for p in r),
                      show_float, '(R,G,B) fixed point s7.24 (1.0 = 0x1000000)',
                      tiff=(32, 3, 2, 2, None)),
    'rgbe': Format('32bppRGBE', 0x3D, 16, lambda r: bytes(v for p in r for v in p),
                   show_tuple, '(R,G,B,E) bytes: value = mantissa * 2^(E-136)',
                   tiff=(8, 4, 2, 1, None)),
    '101010': Format('32bppBGR101010', 0x14, 31,
                     lambda r: struct.pack('<%dI' % len(r), *map(word101010, r)),
                     lambda p: '(%d,%d,%d)=0x%08X' % (p + (word101010(p),)),
                     '(R,G,B) 10-bit = stored word R<<20|G<<10|B',
                     tiff=(10, 3, 2, 1, None)),
    'cmyka40': Format('40bppCMYKAlpha', 0x2C, 32, lambda r: bytes(v for p in r for v in p),
                      show_tuple, '(C,M,Y,K,A)', tiff=(8, 5, 5, 1, 2)),
}


def word101010(p):
    return p[0] << 20 | p[1] << 10 | p[2]


def fixed(value, fraction_bits):
    return round(value * (1 << fraction_bits))


def expand(value, bits):
    """An n-bit value as the 8-bit sample whose top n bits it is."""
    v = value << (8 - bits)
    return v | v >> bits


# --------------------------------------------------------------------------
# The fixtures

def grid(width, height, f):
    return [[f(x, y) for x in range(width)] for y in range(height)]


def rgb24_5x3(x, y):
    return (x * 40 + y, y * 60 + x, 200 - x * 10 - y * 7)


def rgb24_8x8(x, y):
    return (16 * x + y, 16 * y + x, 255 - 8 * (x + y))


def rgb24_640x480(x, y):
    return (x & 0xFF, y & 0xFF, (3 * x + 5 * y) & 0xFF)


def lossy_64x64(x, y):
    return (4 * x, 4 * y, 128 + 2 * (x - y))


RGB24_3X2 = [[(10, 20, 30), (40, 50, 60), (70, 80, 90)],
             [(100, 110, 120), (130, 140, 150), (160, 170, 180)]]
RGB24_4X2 = [[(1, 2, 3), (11, 12, 13), (21, 22, 23), (31, 32, 33)],
             [(101, 102, 103), (111, 112, 113), (121, 122, 123), (131, 132, 133)]]
BW_BYTES = [bytes([0xB1, 0x0F, 0x00, 0xFF, 0x80]),
            bytes([0x80, 0x00, 0x55, 0x01, 0x00])]
BW_33X2 = [[(row[x // 8] >> (7 - x % 8)) & 1 for x in range(33)] for row in BW_BYTES]
GRAY8_5X2 = [[0, 50, 100, 150, 255], [1, 2, 3, 4, 5]]
GRAY16_3X2 = [[0x0000, 0x00FF, 0x0100], [0x1234, 0x8000, 0xFFFF]]
BGR555_4X2 = [[(31, 0, 0), (0, 31, 0), (0, 0, 31), (31, 31, 31)],
              [(0, 0, 0), (1, 2, 3), (16, 8, 4), (10, 20, 30)]]
BGR565_4X2 = [[(31, 0, 0), (0, 63, 0), (0, 0, 31), (31, 63, 31)],
              [(0, 0, 0), (1, 2, 3), (16, 32, 8), (10, 40, 20)]]
BGRA32_3X2 = [[(200, 100, 50, 128), (10, 20, 30, 0), (255, 0, 0, 1)],
              [(0, 0, 255, 254), (30, 60, 90, 255), (12, 34, 56, 200)]]
RGB48_3X2 = [[(0xFFFF, 0, 0), (0, 0xFFFF, 0), (0, 0, 0xFFFF)],
             [(0x1234, 0x5678, 0x9ABC), (0x0001, 0x0100, 0x8000),
              (0xFFFF, 0xFFFF, 0xFFFF)]]
RGBA64_2X2 = [[(0xFFFF, 0, 0, 0x8000), (0, 0xFFFF, 0, 0xFFFF)],
              [(0, 0, 0xFFFF, 0), (0x1234, 0x5678, 0x9ABC, 0x4000)]]
RGBA128F_2X2 = [[(1.0, 0.0, 0.0, 1.0), (0.0, 1.0, 0.0, 0.5)],
                [(0.0, 0.25, 1.0, 0.25), (0.5, 0.5, 0.5, 0.0)]]
GRAYH_3X1 = [[0.0, 0.5, 1.5]]
RGBH_2X1 = [[(1.0, 0.25, 0.0), (0.5, 0.75, 0.125)]]
RGBAH_2X2 = [[(2.0, 0.5, 0.0, 1.0), (1.0, 1.0, 1.0, 0.5)],
             [(0.25, 4.0, 0.5, 0.0), (0.0, 0.0, 8.0, 0.25)]]
GRAYF_3X1 = [[0.25, 0.5, 2.0]]
RGBFX_2X1 = [[(1.0, 0.5, 0.0), (0.0, 0.25, 2.0)]]
RGBE_3X1 = [[(128, 64, 0, 129), (255, 128, 16, 127), (0, 0, 0, 0)]]
BGR101010_2X1 = [[(1023, 512, 0), (0, 1, 1000)]]
CMYKA40_2X1 = [[(0, 255, 128, 64, 200), (10, 20, 30, 40, 50)]]
# Linear-light half floats, every value exact in 16 bits. The "HDR
# screenshot": row 0 a desktop whose SDR white sits at 2.5; row 1 a grey
# ramp in steps of 0.5 up to the peak 12.5; row 2 saturated colours above
# 1.0 and the greys 4, 8 and 12; row 3 colours within SDR range.
HDR_SATURATED = [(6.0, 0.5, 0.25), (0.25, 4.0, 0.125), (0.5, 0.5, 9.0), (3.0, 3.0, 0.25),
                 (8.0, 0.25, 8.0), (0.25, 6.0, 6.0)]
HDR_32X4 = [[(2.5, 2.5, 2.5)] * 32,
            [(v / 2, v / 2, v / 2) for v in range(26)] + [(2.5, 2.5, 2.5)] * 6,
            HDR_SATURATED * 4 + [(4.0, 4.0, 4.0), (8.0, 8.0, 8.0), (12.0, 12.0, 12.0)] * 2 +
            [(1.0, 1.0, 1.0), (0.0, 0.0, 0.0)],
            [(0.5, 0.25, 0.125), (1.0, 1.0, 1.0), (0.0, 0.0, 0.0), (0.75, 0.5, 1.0)] * 8]
INRANGE_HALF_4X2 = [[(0.0, 0.0, 0.0), (1.0, 1.0, 1.0), (0.5, 0.25, 0.125), (0.75, 0.5, 1.0)],
                    [(0.0625, 0.375, 0.875), (1.0, 0.0, 0.0), (0.25, 0.25, 0.25), (0.125, 1.0, 0.5)]]
# --------------------------------------------------------------------------
# HDR scenes as Windows captures them (scRGB, 1.0 = 80 nits), drawn at any
# size on a grid of 64 x 36 cells (one cell one pixel in the fixtures):
# desktop screenshots whose SDR content sits at the SDR white W, games with
# and without a HUD, a photo.  Every SDR colour is an sRGB level times W.

def srgb_linear(level):
    v = level / 255.0
    return v / 12.92 if v <= 0.04045 else ((v + 0.055) / 1.055) ** 2.4


def sdr(level, white):
    v = srgb_linear(level) * white
    return (v, v, v)


def text_stroke(x, y, cell):
    """Pseudo text: 0 ink, 1 a smoothed edge (sRGB 128 between ink and
    paper), 2 paper; `cell` pixels a stroke."""
    k = ((x // cell) * 7 + (y // cell) * 3) % 5
    return 0 if k < 2 else 1 if k == 2 else 2


def desktop_rows(width, height, white, highlights=True, theme='light', white_area='large'):
    """A desktop screenshot at SDR white `white`: a gradient wallpaper (sRGB
    levels R = 20 + 2 gx, G = 30 + 3 gy, B = 120 on the 64 x 36 grid), a
    taskbar, a light window (title bar sRGB 243, white body with lines of
    text), a dark window (sRGB 32, white text), and with `highlights` an HDR
    picture on screen: greys 4, 8 and 12 W, a red neon (3.6, 0.1, 0.06) W,
    saturated colours and a grey ramp 0.25 .. 12 W.  theme 'dark' makes the
    light window dark too; white_area 'small' shrinks it to a quarter."""
    sx, sy = width / 64.0, height / 36.0
    cell = max(1, int(min(sx, sy) / 3))
    wall_r = [srgb_linear(20 + 2 * int(x / sx)) * white for x in range(width)]
    wall_b = srgb_linear(120) * white
    ink, edge = sdr(0, white), sdr(128, white)
    paper = (white, white, white)
    title, taskbar, dark_title, dark = sdr(243, white), sdr(32, white), sdr(43, white), sdr(32, white)
    a_right = 34 if white_area == 'large' else 18
    a_bottom = 28 if white_area == 'large' else 15
    for y in range(height):
        gy = int(y / sy)
        wall_g = srgb_linear(30 + 3 * gy) * white
        line_a = gy >= 7 and (gy - 7) % 3 == 0
        line_b = gy >= 20 and (gy - 20) % 3 == 0
        row = []
        for x in range(width):
            gx = int(x / sx)
            p = (wall_r[x], wall_g, wall_b)
            if gy >= 32:
                p = taskbar
            if 2 <= gx < a_right and 2 <= gy < a_bottom:
                if gy < 5:
                    p = title if theme == 'light' else dark_title
                else:
                    p = paper if theme == 'light' else dark
                    if line_a and 4 <= gx < a_right - 2:
                        k = text_stroke(x, y, cell)
                        if theme == 'light':
                            p = ink if k == 0 else edge if k == 1 else paper
                        else:
                            p = paper if k == 0 else edge if k == 1 else dark
            if 36 <= gx < 62 and 16 <= gy < 31:
                p = dark_title if gy < 18 else dark
                if line_b and 38 <= gx < 60:
                    k = text_stroke(x, y, cell)
                    p = paper if k == 0 else edge if k == 1 else dark
            if highlights and 36 <= gx < 62 and 2 <= gy < 14:
                if gy < 5:
                    v = white * (4 if gx < 44 else 8 if gx < 52 else 12)
                    p = (v, v, v)
                elif gy < 8:
                    if gx < 44:
                        p = (3.6 * white, 0.1 * white, 0.06 * white)
                    else:
                        c = HDR_SATURATED[min((gx - 44) // 3, 5)]
                        p = tuple(v * white / 2.5 for v in c)
                else:
                    v = white * (0.25 + 11.75 * (x - 36 * sx) / (26 * sx - 1))
                    p = (v, v, v)
            row.append(p)
        yield row


def desktop_scene(*args, **kwargs):
    return list(desktop_rows(*args, **kwargs))


def game_rows(width, height, hud=False, seed=7, white=2.0):
    """A game: a blue sky of luminance 20 (top) to 5 (horizon) with white
    clouds up to 1.3 times the sky, a sun of 60, a red neon sign
    (9.0, 0.25, 0.15) and a mid-tone foreground (0.02 .. 0.5), all with a
    little noise; with `hud`, health bars and text at the paper white
    `white`."""
    import math
    rng = random.Random(seed)
    sx, sy = width / 64.0, height / 36.0
    blue = (0.55, 0.75, 1.0)
    blue_y = 0.2126 * blue[0] + 0.7152 * blue[1] + 0.0722 * blue[2]
    sun_x, sun_y, sun_r = 50 * sx, 4 * sy, 1.6 * min(sx, sy)
    horizon = 18 * sy
    for y in range(height):
        row = []
        for x in range(width):
            noise = 1.0 + 0.02 * (rng.random() - 0.5)
            if y < horizon:
                sky = (20.0 - 15.0 * y / horizon) * noise
                cloud = (math.sin(x / (4.0 * sx)) * math.sin(y / (2.2 * sy) + x / (9.0 * sx)) +
                         0.5 * math.sin(x / (1.7 * sx) + y / (1.3 * sy)))
                amount = min(max((cloud - 0.35) * 1.5, 0.0), 1.0)
                c = tuple(v * sky / blue_y for v in blue)
                p = tuple(v + amount * (1.3 * sky - v) for v in c)
                if (x - sun_x) ** 2 + (y - sun_y) ** 2 <= sun_r ** 2:
                    p = (62.0, 60.0, 55.0)
                if 6 * sx <= x < 14 * sx and 12 * sy <= y < 15 * sy:
                    p = (9.0, 0.25, 0.15)
            else:
                f = (y - horizon) / (height - horizon)
                tex = 0.5 + 0.5 * math.sin(x / (2.0 * sx)) * math.cos(y / (1.5 * sy))
                level = (0.04 + 0.4 * f * tex) * noise
                p = (level * 0.9, level * 1.0, level * 0.35) if x < width / 2 else (
                    level * 1.0, level * 0.7, level * 0.45)
            if hud and ((2 * sx <= x < 20 * sx and 32 * sy <= y < 34 * sy) or
                        (44 * sx <= x < 62 * sx and 30 * sy <= y < 35 * sy and
                         text_stroke(x, y, max(1, int(sx / 3))) == 0)):
                p = (white, white, white)
            row.append(p)
        yield row


def game_scene(*args, **kwargs):
    return list(game_rows(*args, **kwargs))


def photo_rows(width, height, seed=11):
    """An HDR photo: sky 2 .. 8 with haze, a sunlit slope, shadows; sensor
    noise of about 3 % everywhere, no flat areas."""
    import math
    rng = random.Random(seed)
    for y in range(height):
        row = []
        for x in range(width):
            n = 1.0 + 0.06 * (rng.random() - 0.5)
            u, v = x / width, y / height
            ridge = 0.45 + 0.1 * math.sin(u * 9.0)
            if v < ridge:
                L = (8.0 - 6.0 * v / ridge) * n
                p = (0.75 * L, 0.95 * L, 1.3 * L)
            else:
                L = (0.03 + 1.2 * (1.0 - u) * (v - ridge)) * n
                p = (1.1 * L, 1.0 * L, 0.6 * L)
            row.append(p)
        yield row


# Colours outside sRGB (negative channels, as HDR games write them) at
# several brightnesses next to greys up to 8.0: a picture with highlights
# and no SDR white.
WIDE_GAMUT = [(-0.3, 2.0, -0.1), (3.0, -0.2, 0.1), (-0.1, -0.05, 4.0), (1.5, 1.2, -0.3),
              (-0.2, 0.6, 0.9), (0.8, -0.1, 0.5), (6.0, 2.0, -0.5), (-0.4, 5.0, 3.0)]
WIDE_GAMUT_32X8 = ([[WIDE_GAMUT[x % 8] for x in range(32)] for _ in range(2)] +
                   [[tuple(v * 0.25 for v in WIDE_GAMUT[x % 8]) for x in range(32)] for _ in range(2)] +
                   [[(v, v, v) for v in (0.125 * (x + 1) for x in range(32))]] +
                   [[(8.0, 8.0, 8.0)] * 32] +
                   [[(0.2, 0.1, 0.05)] * 32 for _ in range(2)])


FOREIGN_RGB_3X2 = [[(255, 0, 0), (0, 255, 0), (0, 0, 255)],
                   [(0, 0, 0), (128, 128, 128), (255, 255, 255)]]


DESKTOP_NOTES = [
    'a desktop screenshot (make_fixtures.desktop_scene), every SDR colour an sRGB',
    'level times W: wallpaper (R,G,B) levels (20+2x, 30+3y, 120); taskbar rows 32..35',
    'level 32; light window x 2..33, y 2..27: title rows 2..4 level 243, body W with',
    'text on rows 7,10,..,25 at x 4..31: (7x+3y) % 5 < 2 ink (0), == 2 level 128;',
    'dark window x 36..61, y 16..30: rows 16..17 level 43, then level 32 with white',
    'text on rows 20,23,26,29 at x 38..59 by the same rule;',
    'HDR picture x 36..61: rows 2..4 greys 4 W (x 36..43), 8 W (44..51), 12 W (52..61);',
    'rows 5..7 neon (3.6,0.1,0.06) W at x 36..43, then 3 columns each of the saturated',
    'colours of hdr_half_32x4.jxr times W / 2.5; rows 8..13 grey 0.25 W + 11.75 W (x-36)/25']

ALPHA_COUNT_NOTE = ('0xBCC3 (alpha byte count) holds the size of the whole file, '
                    'so it runs past the end')


class Jxr:
    """One encoded fixture: its expected pixels and how to make its source."""

    def __init__(self, name, fmt, pixels, source, args=(), lossless=True,
                 formula=None, notes=(), white_is_zero=False):
        self.name, self.fmt = name, FORMATS[fmt]
        self.pixels, self.source = pixels, source
        self.args, self.lossless = list(args), lossless
        self.formula, self.notes = formula, list(notes)
        self.white_is_zero = white_is_zero
        self.height, self.width = len(pixels), len(pixels[0])

    def source_bytes(self):
        kind = self.source
        w, h = self.width, self.height
        if kind == 'bmp24':
            return make_bmp(w, h, [bytes(v for p in r for v in p) for r in self.pixels], 24)
        if kind == 'bmp32':
            return make_bmp(w, h, [bytes(v for p in r for v in p) for r in self.pixels], 32)
        if kind == 'tif1':
            return make_tiff(w, h, 1, 1, 1, b''.join(pack_bits(r) for r in self.stored()))
        if kind == 'tif8':
            return make_tiff(w, h, 8, 1, 1, b''.join(bytes(r) for r in self.pixels))
        if kind == 'tif16':
            return make_tiff(w, h, 16, 1, 1, b''.join(
                struct.pack('<%dH' % w, *r) for r in self.pixels))
        if kind in ('tif555', 'tif565'):
            gbits = 5 if kind == 'tif555' else 6
            return make_tiff(w, h, 8, 3, 2, bytes(
                v for r in self.pixels for p in r
                for v in (expand(p[0], 5), expand(p[1], gbits), expand(p[2], 5))))
        if kind == 'tif48':
            return make_tiff(w, h, 16, 3, 2, b''.join(
                struct.pack('<3H', *p) for r in self.pixels for p in r))
        if kind == 'tif64':
            return make_tiff(w, h, 16, 4, 2, b''.join(
                struct.pack('<4H', *p) for r in self.pixels for p in r),
                extra_samples=2)
        if kind == 'tif128f':
            return make_tiff(w, h, 32, 4, 2, b''.join(
                struct.pack('<4f', *p) for r in self.pixels for p in r),
                sample_format=3, extra_samples=2)
        if kind == 'tif':
            bits, samples, photometric, sample_format, extra = self.fmt.tiff
            return make_tiff(w, h, bits, samples, photometric,
                             b''.join(self.fmt.tiff_pack(r) for r in self.pixels),
                             sample_format=sample_format, extra_samples=extra)
        if kind == 'hdr':
            return (b'#?RADIANCE\nFORMAT=32-bit_rle_rgbe\n\n-Y %d +X %d\n' % (h, w) +
                    b''.join(self.fmt.pack(r) for r in self.pixels))
        fail('internal: source kind %s' % kind)

    def stored(self):
        """The samples as the codestream holds them (differs from the
        picture only for BlackWhite saved with "0 = white")."""
        if self.white_is_zero:
            return [[1 - v for v in r] for r in self.pixels]
        return self.pixels

    def source_name(self):
        ext = self.source[:3] if self.source[:3] in ('bmp', 'hdr') else 'tif'
        return '%s.%s' % (self.name[:-4], ext)


SMALL = [
    Jxr('rgb24_3x2.jxr', 'bgr24', RGB24_3X2, 'bmp24'),
    Jxr('rgb24_5x3.jxr', 'bgr24', grid(5, 3, rgb24_5x3), 'bmp24',
        formula='(B,G,R) = (x*40+y, y*60+x, 200-x*10-y*7)'),
    Jxr('rgb24_640x480.jxr', 'bgr24', grid(640, 480, rgb24_640x480), 'bmp24',
        formula='(B,G,R) = (x & 255, y & 255, (3*x + 5*y) & 255)'),
    Jxr('rgb24_8x8.jxr', 'bgr24', grid(8, 8, rgb24_8x8), 'bmp24',
        formula='(B,G,R) = (16*x + y, 16*y + x, 255 - 8*(x+y))',
        notes=['base of dpi72.jxr, dpi300.jxr, dpi2000.jxr, dpi72x300.jxr']),
    Jxr('rgb24_4x2.jxr', 'bgr24', RGB24_4X2, 'bmp24',
        notes=['base of orient3.jxr and orient6.jxr']),
    Jxr('bw_33x2.jxr', 'bw', BW_33X2, 'tif1', args=['-b', '0'],
        notes=['-b 0 (the default): samples stored with 0 = black, 1 = white',
               '(codestream header byte 11, low nibble 0); source BlackIsZero TIFF',
               'row 0 white at x = 0,2,3,7,12..15,24..32; row 1 at x = 0,17,19,21,23,31']),
    Jxr('bw_33x2_b1.jxr', 'bw', BW_33X2, 'tif1', args=['-b', '1'], white_is_zero=True,
        notes=['the same picture as bw_33x2.jxr, saved with -b 1: samples stored with',
               '0 = white (codestream header byte 11, low nibble 0xF), so the stored',
               'bits are the inverse of the picture below; a decoder has to invert',
               'them to report 0 = black, 1 = white.  Source: BlackIsZero TIFF of',
               'the inverted bits (JxrEncApp does not invert for -b).']),
    Jxr('gray8_5x2.jxr', 'gray8', GRAY8_5X2, 'tif8'),
    Jxr('gray16_3x2.jxr', 'gray16', GRAY16_3X2, 'tif16'),
    Jxr('bgr555_4x2.jxr', '555', BGR555_4X2, 'tif555',
        notes=['source: 8-bit RGB TIFF holding each n-bit value v as (v << (8-n)) | (v >> (2n-8))']),
    Jxr('bgr565_4x2.jxr', '565', BGR565_4X2, 'tif565',
        notes=['source: 8-bit RGB TIFF holding each n-bit value v as (v << (8-n)) | (v >> (2n-8))']),
    Jxr('bgra32_3x2.jxr', 'bgra32', BGRA32_3X2, 'bmp32',
        notes=['planar alpha (JxrEncApp default, same as -a 2): tags 0xBCC2 / 0xBCC3 present;',
               ALPHA_COUNT_NOTE]),
    Jxr('bgra32_3x2_interleaved.jxr', 'bgra32', BGRA32_3X2, 'bmp32', args=['-a', '3'],
        notes=['interleaved alpha (-a 3): no alpha tags']),
    Jxr('rgb48_3x2.jxr', 'rgb48', RGB48_3X2, 'tif48'),
    Jxr('rgba64_2x2.jxr', 'rgba64', RGBA64_2X2, 'tif64',
        notes=['source: 16-bit RGBA TIFF with ExtraSamples = 2 (unassociated alpha)']),
    Jxr('rgba128f_2x2.jxr', 'rgba128f', RGBA128F_2X2, 'tif128f',
        notes=['planar alpha (the default): tags 0xBCC2 / 0xBCC3 present;', ALPHA_COUNT_NOTE]),
    Jxr('grayh_3x1.jxr', 'grayh', GRAYH_3X1, 'tif'),
    Jxr('rgbh_2x1.jxr', 'rgbh', RGBH_2X1, 'tif'),
    Jxr('hdr_half_32x4.jxr', 'rgbh', HDR_32X4, 'tif',
        notes=['an HDR screenshot, linear light, 1.0 = SDR white: row 0 SDR white at 2.5,',
               'row 1 grey 0.0 .. 12.5 in steps of 0.5 then 2.5, row 2 saturated colours',
               'above 1.0 and greys 4, 8, 12, row 3 in range; largest luminance 12.5']),
    Jxr('hdr_desktop_80nits_64x36.jxr', 'rgbh', desktop_scene(64, 36, 1.0), 'tif',
        notes=DESKTOP_NOTES + ['SDR white W = 1.0 (80 nits)']),
    Jxr('hdr_desktop_200nits_64x36.jxr', 'rgbh', desktop_scene(64, 36, 2.5), 'tif',
        notes=['the desktop of hdr_desktop_80nits_64x36.jxr at SDR white W = 2.5 (200 nits)']),
    Jxr('hdr_desktop_300nits_64x36.jxr', 'rgbh', desktop_scene(64, 36, 3.75), 'tif',
        notes=['the desktop of hdr_desktop_80nits_64x36.jxr at SDR white W = 3.75 (300 nits)']),
    Jxr('hdr_desktop_200nits_flat_64x36.jxr', 'rgbh', desktop_scene(64, 36, 2.5, highlights=False), 'tif',
        notes=['the desktop of hdr_desktop_80nits_64x36.jxr at SDR white W = 2.5 (200 nits)',
               'without the HDR picture (wallpaper there): nothing above W']),
    Jxr('hdr_game_64x36.jxr', 'rgbh', game_scene(64, 36), 'tif',
        notes=['a game scene without UI (make_fixtures.game_scene): sky of luminance 20',
               '(top) to 5 (row 17), white clouds, sun 60 around (50,4), red neon',
               '(9.0,0.25,0.15) at x 6..13, y 12..14, foreground 0.02 .. 0.5 from row 18']),
    Jxr('hdr_wide_gamut_32x8.jxr', 'rgbh', WIDE_GAMUT_32X8, 'tif',
        notes=['colours outside sRGB (rows 0-1, and a quarter as bright in rows 2-3),',
               'a grey ramp to 4.0, greys of 8.0 (the peak), a dim brown']),
    Jxr('inrange_half_4x2.jxr', 'rgbh', INRANGE_HALF_4X2, 'tif',
        notes=['every channel within 0.0 .. 1.0: nothing to tone map']),
    Jxr('rgbah_2x2.jxr', 'rgbah', RGBAH_2X2, 'tif',
        notes=['values above 1.0 (up to 8.0): brighter than white, clipped for display']),
    Jxr('grayf_3x1.jxr', 'grayf', GRAYF_3X1, 'tif'),
    Jxr('rgb48fx_2x1.jxr', 'rgb48fx', RGBFX_2X1, 'tif'),
    Jxr('rgb96fx_2x1.jxr', 'rgb96fx', RGBFX_2X1, 'tif'),
    Jxr('rgbe_3x1.jxr', 'rgbe', RGBE_3X1, 'hdr',
        notes=['source: flat Radiance file; JxrEncApp renormalises mantissas, so every',
               'pixel is stored with its largest mantissa at 128 or more (or all 0)']),
    Jxr('bgr101010_2x1.jxr', '101010', BGR101010_2X1, 'tif',
        notes=['source: a TIFF marked 10-bit RGB whose rows hold the stored words as',
               'they are (little-endian); JxrEncApp and JxrDecApp copy those bytes']),
    Jxr('cmyka40_2x1.jxr', 'cmyka40', CMYKA40_2X1, 'tif',
        notes=['source: 8-bit separated (CMYK) TIFF with ExtraSamples = 2']),
    Jxr('lossy_rgb24_64x64.jxr', 'bgr24', grid(64, 64, lossy_64x64), 'bmp24',
        args=['-q', '0.5'], lossless=False,
        formula='source (B,G,R) = (4*x, 4*y, 128 + 2*(x-y))',
        notes=['lossy (-q 0.5): decoded values are near the source, not equal',
               '(checked here: mean absolute difference at most 2.0)']),
]

DPI_VARIANTS = [('dpi72.jxr', 72.0, 72.0), ('dpi300.jxr', 300.0, 300.0),
                ('dpi2000.jxr', 2000.0, 2000.0), ('dpi72x300.jxr', 72.0, 300.0)]
ORIENT_VARIANTS = [('orient3.jxr', 3), ('orient6.jxr', 6)]
FOREIGN = ['sample.png', 'png_named.jxr', 'sample.bmp', 'bmp_named.jxr',
           'sample.tif', 'tif_named.jxr']
TRUNCATED = 'truncated.jxr'
TRUNCATED_SIZE = 100

STAMP = 'fixtures.stamp'
LISTING = 'fixtures.txt'


def all_names():
    return ([j.name for j in SMALL] + [n for n, _, _ in DPI_VARIANTS] +
            [n for n, _ in ORIENT_VARIANTS] + FOREIGN + [TRUNCATED, LISTING])


def shown_orientation(pixels, value):
    if value == 3:
        return [list(reversed(r)) for r in reversed(pixels)]
    if value == 6:
        return [[pixels[c][r] for c in range(len(pixels))]
                for r in range(len(pixels[0]))]
    fail('internal: orientation %d' % value)


def foreign_bytes():
    rows = FOREIGN_RGB_3X2
    png = make_png(3, 2, [bytes(v for p in r for v in p) for r in rows])
    bmp = make_bmp(3, 2, [bytes(v for p in r for v in reversed(p)) for r in rows], 24)
    tif = make_tiff(3, 2, 8, 3, 2, bytes(v for r in rows for p in r for v in p))
    return {'sample.png': png, 'png_named.jxr': png, 'sample.bmp': bmp,
            'bmp_named.jxr': bmp, 'sample.tif': tif, 'tif_named.jxr': tif}


# --------------------------------------------------------------------------
# The listing (fixtures.txt and the end of this docstring)

def listing():
    out = []

    def rows_of(fmt, pixels, indent='    '):
        for y, r in enumerate(pixels):
            out.append('%srow %d: %s' % (indent, y, fmt.show_row(r)))

    def header(j, name=None, dpi=(96.0, 96.0), orient=0):
        f = j.fmt
        out.append(name or j.name)
        out.append('  %s %s, %d x %d, %g x %g dpi, orientation %d, %s' % (
            f.name, GUID_TEXT % f.guid_last, j.width, j.height,
            dpi[0], dpi[1], orient, 'lossless' if j.lossless else 'lossy'))

    for j in SMALL:
        header(j)
        out.append('  JxrEncApp -i src/%s -o %s -c %d%s' % (
            j.source_name(), j.name, j.fmt.code,
            ''.join(' ' + a for a in j.args)))
        for n in j.notes:
            out.append('  ' + n)
        if j.formula:
            out.append('  pixel (x,y): ' + j.formula)
        if j.width <= 40 and j.height <= 8:
            out.append('  pixels %s, top row first:' % j.fmt.legend)
            rows_of(j.fmt, j.pixels)
        else:
            out.append('  corners %s: (0,0) %s (%d,0) %s (0,%d) %s (%d,%d) %s' % (
                j.fmt.legend, j.fmt.show(j.pixels[0][0]),
                j.width - 1, j.fmt.show(j.pixels[0][-1]),
                j.height - 1, j.fmt.show(j.pixels[-1][0]),
                j.width - 1, j.height - 1, j.fmt.show(j.pixels[-1][-1])))
        out.append('')
    base = next(j for j in SMALL if j.name == 'rgb24_8x8.jxr')
    for name, dx, dy in DPI_VARIANTS:
        header(base, name, (dx, dy))
        out.append('  rgb24_8x8.jxr with 0xBC82 = %g (float32 0x%08X), 0xBC83 = %g (0x%08X)' % (
            dx, struct.unpack('<I', struct.pack('<f', dx))[0],
            dy, struct.unpack('<I', struct.pack('<f', dy))[0]))
        out.append('  pixels as rgb24_8x8.jxr')
        out.append('')
    base = next(j for j in SMALL if j.name == 'rgb24_4x2.jxr')
    for name, value in ORIENT_VARIANTS:
        header(base, name, orient=value)
        shown = shown_orientation(base.pixels, value)
        out.append('  rgb24_4x2.jxr with 0xBC02 (LONG) = %d; stored pixels as rgb24_4x2.jxr' % value)
        out.append('  shown %d x %d, %s, top row first:' % (
            len(shown[0]), len(shown),
            'turned 180 degrees' if value == 3 else 'transposed (rotate 90 cw + flip horizontally)'))
        rows_of(base.fmt, shown)
        out.append('')
    rgb = FORMATS['bgr24']
    out.append('sample.png, png_named.jxr: PNG, 3 x 2, 8-bit RGB, one IDAT')
    out.append('sample.bmp, bmp_named.jxr: BMP, 3 x 2, 24 bits, bottom-up, no resolution')
    out.append('sample.tif, tif_named.jxr: TIFF "II", 3 x 2, 8-bit RGB, uncompressed, one strip')
    out.append('  the same pixels in all six, (R,G,B), top row first:')
    rows_of(rgb, FOREIGN_RGB_3X2)
    out.append('')
    out.append('%s: the first %d bytes of rgb24_640x480.jxr (the IFD is cut short)'
               % (TRUNCATED, TRUNCATED_SIZE))
    return '\n'.join(out) + '\n'


def check_doc(text):
    """The file list must also close this script's docstring."""
    source = read_file(os.path.abspath(__file__)).decode('utf-8')
    if '\n\n' + text + '"""' not in source:
        fail('the file list at the top of %s is out of date; it should read:\n%s'
             % (os.path.basename(__file__), text))


# --------------------------------------------------------------------------
# Verification

def check_container(path, fmt, width, height, dpi=(96.0, 96.0), orient=0):
    data = read_file(path)
    name = os.path.basename(path)
    guid = tag_values(data, TAG_PIXEL_FORMAT, name)
    if guid != GUID_PREFIX + bytes([fmt.guid_last]):
        fail('%s: pixel format %s, expected %s' % (
            name, guid.hex(), (GUID_PREFIX + bytes([fmt.guid_last])).hex()))
    for tag, want in ((TAG_WIDTH, width), (TAG_HEIGHT, height),
                      (TAG_DPI_X, dpi[0]), (TAG_DPI_Y, dpi[1]),
                      (TAG_ORIENTATION, orient)):
        got = tag_values(data, tag, name)
        if got != [want]:
            fail('%s: tag 0x%04X is %r, expected %r' % (name, tag, got, want))


def decode(path, tmp, ext):
    out = os.path.join(tmp, os.path.basename(path) + '.' + ext)
    run(['JxrDecApp', '-i', path, '-o', out])
    return out


def compare_rows(name, got, want, mask_last=None):
    if len(got) != len(want):
        fail('%s: decoded %d rows, expected %d' % (name, len(got), len(want)))
    for y, (g, w) in enumerate(zip(got, want)):
        if mask_last is not None:
            g = bytes(g[:-1]) + bytes([g[-1] & mask_last])
        if g != w:
            fail('%s: decoded row %d is %s, expected %s' % (name, y, g[:48].hex(), w[:48].hex()))


def check_pixels(j, path, tmp):
    """Decodes path with JxrDecApp and compares with j's pixels."""
    name = os.path.basename(path)
    want = [j.fmt.pack(r) for r in j.pixels]
    kind = j.fmt.name
    if kind in ('24bppBGR', '32bppBGRA', '16bppBGR555', '16bppBGR565'):
        img = read_bmp(decode(path, tmp, 'bmp'))
        bpp = {'24bppBGR': 24, '32bppBGRA': 32}.get(kind, 16)
        masks = {'16bppBGR555': (0x7C00, 0x03E0, 0x001F),
                 '16bppBGR565': (0xF800, 0x07E0, 0x001F)}.get(kind)
        if (img['width'], img['height'], img['bpp'], img['masks']) != (
                j.width, j.height, bpp, masks):
            fail('%s: decoded BMP is %dx%d, %d bits, masks %r' % (
                name, img['width'], img['height'], img['bpp'], img['masks']))
        if not j.lossless:
            total = sum(abs(a - b) for g, w in zip(img['rows'], want) for a, b in zip(g, w))
            mean = total / (j.width * j.height * 3)
            if mean > 2.0:
                fail('%s: lossy decode differs by %.2f on average' % (name, mean))
            return
        compare_rows(name, img['rows'], want)
        return
    img = read_tiff(decode(path, tmp, 'tif'))
    if j.fmt.tiff is not None:
        bits, samples, photometric, sample_format, _ = j.fmt.tiff
        got = (img['bits'], img['samples'], img['photometric'], img['sample_format'])
        if (img['width'], img['height']) != (j.width, j.height) or got != (
                [bits] * samples, samples, photometric, sample_format):
            fail('%s: decoded TIFF is %dx%d with (bits, samples, photometric, '
                 'sample format) %r' % (name, img['width'], img['height'], got))
        compare_rows(name, img['rows'], [j.fmt.tiff_pack(r) for r in j.pixels])
        return
    layout = {'BlackWhite': ([1], 1, 1, 1), '8bppGray': ([8], 1, 1, 1),
              '16bppGray': ([16], 1, 1, 1), '48bppRGB': ([16] * 3, 3, 2, 1),
              '64bppRGBA': ([16] * 4, 4, 2, 1),
              '128bppRGBAFloat': ([32] * 4, 4, 2, 3)}[kind]
    got = (img['bits'], img['samples'], img['photometric'], img['sample_format'])
    if kind == 'BlackWhite':
        got = got[:2] + (1,) + got[3:]  # checked below
    if (img['width'], img['height']) != (j.width, j.height) or got != layout:
        fail('%s: decoded TIFF is %dx%d with (bits, samples, photometric, '
             'sample format) %r, expected %r' % (name, img['width'], img['height'], got, layout))
    mask = None
    if kind == 'BlackWhite':
        # JxrDecApp writes the stored samples and says in the TIFF which
        # value is white.
        if img['photometric'] != (0 if j.white_is_zero else 1):
            fail('%s: decoded TIFF has PhotometricInterpretation %d' % (
                name, img['photometric']))
        want = [j.fmt.pack(r) for r in j.stored()]
        if j.width % 8:
            mask = (0xFF00 >> (j.width % 8)) & 0xFF
    compare_rows(name, img['rows'], want, mask)


def check_small(out, tmp):
    missing = [n for n in all_names() if not os.path.isfile(os.path.join(out, n))]
    if missing:
        fail('%s: missing %s' % (out, ', '.join(missing)))
    src = {j.name: j for j in SMALL}
    for j in SMALL:
        path = os.path.join(out, j.name)
        check_container(path, j.fmt, j.width, j.height)
        check_pixels(j, path, tmp)
    for name in ('bgra32_3x2.jxr', 'bgra32_3x2_interleaved.jxr', 'rgba128f_2x2.jxr'):
        data = read_file(os.path.join(out, name))
        entries = read_ifd(data, name)
        planar = 0xBCC2 in entries and 0xBCC3 in entries
        if planar != (name != 'bgra32_3x2_interleaved.jxr'):
            fail('%s: alpha tags %s' % (name, 'present' if planar else 'absent'))
        if planar and (tag_values(data, 0xBCC3, name) != [len(data)] or
                       not tag_values(data, 0xBCC2, name)[0] < len(data)):
            fail('%s: alpha offset / byte count not as documented' % name)
    base = src['rgb24_8x8.jxr']
    for name, dx, dy in DPI_VARIANTS:
        path = os.path.join(out, name)
        check_container(path, base.fmt, base.width, base.height, (dx, dy))
        check_pixels(base, path, tmp)
    base = src['rgb24_4x2.jxr']
    for name, value in ORIENT_VARIANTS:
        path = os.path.join(out, name)
        check_container(path, base.fmt, base.width, base.height, orient=value)
        check_pixels(base, path, tmp)  # JxrDecApp leaves the tag to its caller
    for name, data in foreign_bytes().items():
        if read_file(os.path.join(out, name)) != data:
            fail('%s: content differs from what this script writes' % name)
    if read_png(os.path.join(out, 'sample.png')) != [
            bytes(v for p in r for v in p) for r in FOREIGN_RGB_3X2]:
        fail('sample.png: pixel data does not read back')
    bmp = read_bmp(os.path.join(out, 'sample.bmp'))
    if bmp['rows'] != [bytes(v for p in r for v in reversed(p)) for r in FOREIGN_RGB_3X2]:
        fail('sample.bmp: pixel data does not read back')
    tif = read_tiff(os.path.join(out, 'sample.tif'))
    if tif['rows'] != [bytes(v for p in r for v in p) for r in FOREIGN_RGB_3X2]:
        fail('sample.tif: pixel data does not read back')
    whole = read_file(os.path.join(out, 'rgb24_640x480.jxr'))
    if read_file(os.path.join(out, TRUNCATED)) != whole[:TRUNCATED_SIZE]:
        fail('%s: not the first %d bytes of rgb24_640x480.jxr' % (TRUNCATED, TRUNCATED_SIZE))
    if read_file(os.path.join(out, LISTING)) != listing().encode():
        fail('%s: differs from the listing of this script' % LISTING)


# --------------------------------------------------------------------------
# Making the small set

def script_hash():
    return hashlib.sha256(read_file(os.path.abspath(__file__))).hexdigest()


def encode(src_path, out_path, code, args, verify=None):
    """JxrEncApp into a temporary name next to out_path; verify(temp_path)
    runs before the file gets its final name."""
    tmp = os.path.join(os.path.dirname(out_path),
                       '.tmp%d-%s' % (os.getpid(), os.path.basename(out_path)))
    try:
        run(['JxrEncApp', '-i', src_path, '-o', tmp, '-c', str(code)] + args)
        if verify is not None:
            verify(tmp)
        os.replace(tmp, out_path)
    finally:
        if os.path.exists(tmp):
            os.remove(tmp)


def make_small(out):
    text = listing()
    check_doc(text)
    stamp_path = os.path.join(out, STAMP)
    stamp = script_hash() + '\n'
    if (os.path.isfile(stamp_path) and read_file(stamp_path) == stamp.encode()
            and all(os.path.isfile(os.path.join(out, n)) for n in all_names())):
        return
    src = os.path.join(out, 'src')
    os.makedirs(src, exist_ok=True)
    if os.path.exists(stamp_path):
        os.remove(stamp_path)
    for j in SMALL:
        src_path = os.path.join(src, j.source_name())
        write_file(src_path, j.source_bytes())
        encode(src_path, os.path.join(out, j.name), j.fmt.code, j.args)
    base = os.path.join(out, 'rgb24_8x8.jxr')
    for name, dx, dy in DPI_VARIANTS:
        patch_tags(base, os.path.join(out, name), {TAG_DPI_X: dx, TAG_DPI_Y: dy})
    base = os.path.join(out, 'rgb24_4x2.jxr')
    for name, value in ORIENT_VARIANTS:
        patch_tags(base, os.path.join(out, name), {TAG_ORIENTATION: value})
    for name, data in foreign_bytes().items():
        write_file(os.path.join(out, name), data)
    whole = read_file(os.path.join(out, 'rgb24_640x480.jxr'))
    write_file(os.path.join(out, TRUNCATED), whole[:TRUNCATED_SIZE])
    write_file(os.path.join(out, LISTING), text.encode())
    with tempfile.TemporaryDirectory(prefix='fixtures-') as tmp:
        check_small(out, tmp)
    write_file(stamp_path, stamp.encode())


# --------------------------------------------------------------------------
# Benchmark images

LARGE_W, LARGE_H = 6000, 4000
LARGE = [  # name, channels, lossless name, lossy name, seed
    ('rgb24', 3, 'large_rgb24_6000x4000.jxr', 'large_rgb24_6000x4000_lossy.jxr', 24),
    ('bgra32', 4, 'large_bgra32_6000x4000.jxr', 'large_bgra32_6000x4000_lossy.jxr', 32),
]
LARGE_QUALITY = '0.8'


def large_rows(channels, seed, top_first=False):
    """Gradients per channel, shifted per row and per band of 500 rows, with
    seeded noise in the low 5 bits.  Bottom row first (BMP order) unless
    top_first."""
    width = LARGE_W * channels
    rng = random.Random(seed)
    base = bytearray(width)
    for c in range(channels):
        base[c::channels] = bytes(((x * (c + 1) * 255) // LARGE_W + 60 * c) & 0xFF
                                  for x in range(LARGE_W))
    base = bytes(base)
    shift = [bytes((v + k) & 0xFF for v in range(256)) for k in range(256)]
    low = bytes(v & 0x1F for v in range(256))
    pool = [rng.randbytes(width + 4096).translate(low) for _ in range(16)]
    picks = [(rng.randrange(16), rng.randrange(4096)) for _ in range(LARGE_H)]
    order = range(LARGE_H) if top_first else range(LARGE_H - 1, -1, -1)
    for y in order:
        row = base.translate(shift[(y * 255 // (LARGE_H - 1) + (y // 500) * 37) & 0xFF])
        n, at = picks[y]
        noise = pool[n][at:at + width]
        yield (int.from_bytes(row, 'little') ^
               int.from_bytes(noise, 'little')).to_bytes(width, 'little')


def make_large(out):
    src = os.path.join(out, 'src')
    os.makedirs(src, exist_ok=True)
    fmt = {3: FORMATS['bgr24'], 4: FORMATS['bgra32']}
    for label, channels, exact, lossy, seed in LARGE:
        todo = [n for n in (exact, lossy) if not os.path.isfile(os.path.join(out, n))]
        if not todo:
            continue
        f = fmt[channels]
        src_path = os.path.join(src, 'large_%s.bmp' % label)
        write_bmp_stream(src_path, LARGE_W, LARGE_H, large_rows(channels, seed),
                         channels * 8)

        def verify_exact(path):
            check_container(path, f, LARGE_W, LARGE_H)
            with tempfile.TemporaryDirectory(prefix='fixtures-') as tmp:
                img = read_bmp(decode(path, tmp, 'bmp'))
                if (img['width'], img['height'], img['bpp']) != (
                        LARGE_W, LARGE_H, channels * 8):
                    fail('%s: decoded to %dx%d, %d bits' % (
                        exact, img['width'], img['height'], img['bpp']))
                for y, want in enumerate(large_rows(channels, seed, True)):
                    if img['rows'][y] != want:
                        fail('%s: decoded row %d differs from the source' % (exact, y))
                del img

        def verify_lossy(path):
            check_container(path, f, LARGE_W, LARGE_H)

        try:
            if exact in todo:
                encode(src_path, os.path.join(out, exact), f.code, [], verify_exact)
            if lossy in todo:
                encode(src_path, os.path.join(out, lossy), f.code,
                       ['-q', LARGE_QUALITY], verify_lossy)
        finally:
            os.remove(src_path)


LARGE_HDR = 'large_rgbah_3000x2000.jxr'
LARGE_HDR_W, LARGE_HDR_H = 3000, 2000


def large_hdr_rows():
    """64bppRGBAHalf rows, top first: red rises to 2.0 across the picture,
    green to 1.0 down it, blue repeats every 256 pixels, alpha 1.0."""
    w = LARGE_HDR_W
    reds = [2.0 * x / (w - 1) for x in range(w)]
    blues = [(x % 256) / 256 for x in range(w)]
    for y in range(LARGE_HDR_H):
        green = y / (LARGE_HDR_H - 1)
        values = []
        for x in range(w):
            values += (reds[x], green, blues[x], 1.0)
        yield struct.pack('<%de' % len(values), *values)


def make_large_hdr(out):
    path = os.path.join(out, LARGE_HDR)
    if os.path.isfile(path):
        return
    f = Format('64bppRGBAHalf', 0x3A, 25, None, None, None)
    src_path = os.path.join(out, 'src', 'large_rgbah.tif')
    write_file(src_path, make_tiff(LARGE_HDR_W, LARGE_HDR_H, 16, 4, 2,
                                   b''.join(large_hdr_rows()), sample_format=3,
                                   extra_samples=2))

    def verify(tmp_path):
        check_container(tmp_path, f, LARGE_HDR_W, LARGE_HDR_H)
        with tempfile.TemporaryDirectory(prefix='fixtures-') as tmp:
            img = read_tiff(decode(tmp_path, tmp, 'tif'))
            for y, want in enumerate(large_hdr_rows()):
                if img['rows'][y] != want:
                    fail('%s: decoded row %d differs from the source' % (LARGE_HDR, y))

    try:
        encode(src_path, path, f.code, [], verify)
    finally:
        os.remove(src_path)


# The tone-mapping row's HDR screenshot, 3840 x 2160, 64bppRGBAHalf (the form
# HDR captures take), lossless, alpha 1.0: the fixtures' desktop scene at an
# SDR white of 2.5 (200 nits) with an HDR picture on screen.
LARGE_SCREENSHOT = 'large_hdr_desktop_3840x2160.jxr'
LARGE_SCREENSHOT_W, LARGE_SCREENSHOT_H = 3840, 2160


def half_rows(rows, alpha=None):
    """Packed half-float rows of (R,G,B) rows, with an alpha of `alpha`."""
    for row in rows:
        values = []
        for p in row:
            values += p if alpha is None else (p[0], p[1], p[2], alpha)
        yield struct.pack('<%de' % len(values), *values)


def write_half_jxr(path, width, height, rows, alpha=None):
    """An scRGB picture of (R,G,B) rows as 48bppRGBHalf, or 64bppRGBAHalf
    with `alpha`, lossless."""
    src_path = path + '.src.tif'
    samples = 3 if alpha is None else 4
    write_file(src_path, make_tiff(width, height, 16, samples, 2, b''.join(half_rows(rows, alpha)),
                                   sample_format=3, extra_samples=None if alpha is None else 2))
    try:
        encode(src_path, path, 12 if alpha is None else 25, [])
    finally:
        os.remove(src_path)


def make_large_screenshot(out):
    path = os.path.join(out, LARGE_SCREENSHOT)
    if not os.path.isfile(path):
        write_half_jxr(path, LARGE_SCREENSHOT_W, LARGE_SCREENSHOT_H,
                       desktop_rows(LARGE_SCREENSHOT_W, LARGE_SCREENSHOT_H, 2.5), alpha=1.0)


def check_large(out):
    fmt = {3: FORMATS['bgr24'], 4: FORMATS['bgra32']}
    for _, channels, exact, lossy, _ in LARGE:
        for name in (exact, lossy):
            path = os.path.join(out, name)
            if os.path.isfile(path):
                check_container(path, fmt[channels], LARGE_W, LARGE_H)


# --------------------------------------------------------------------------

def main(argv):
    usage = 'usage: make_fixtures.py [--large | --check] OUT'
    if len(argv) == 1 and not argv[0].startswith('-'):
        mode, out = 'small', argv[0]
    elif len(argv) == 2 and argv[0] in ('--large', '--check'):
        mode, out = argv[0][2:], argv[1]
    else:
        print(usage, file=sys.stderr)
        return 2
    try:
        if mode == 'check':
            if not os.path.isdir(out):
                fail('%s: no such folder' % out)
            check_doc(listing())
            with tempfile.TemporaryDirectory(prefix='fixtures-') as tmp:
                check_small(out, tmp)
            check_large(out)
        else:
            os.makedirs(out, exist_ok=True)
            if mode == 'small':
                make_small(out)
            else:
                make_large(out)
                make_large_hdr(out)
                make_large_screenshot(out)
    except FixtureError as e:
        print('make_fixtures: error: %s' % e, file=sys.stderr)
        return 1
    except OSError as e:
        print('make_fixtures: error: %s' % e, file=sys.stderr)
        return 1
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
