#include "decode/pixel_format_table.h"

#include <array>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>

#include "common/owners.h"

namespace rorurera {
namespace {

// The imaging component's published pixel format identifiers, written out so
// that each can be checked against the published list. The number is the row
// of the table below in which the format is the source.
constexpr GUID kFormatDontCare             = {0x6FDDC324, 0x4E03, 0x4BFE, {0xB1, 0x85, 0x3D, 0x77, 0x76, 0x8D, 0xC9, 0x00}};  // fallback
constexpr GUID kFormat1bppIndexed          = {0x6FDDC324, 0x4E03, 0x4BFE, {0xB1, 0x85, 0x3D, 0x77, 0x76, 0x8D, 0xC9, 0x01}};  // 1
constexpr GUID kFormat2bppIndexed          = {0x6FDDC324, 0x4E03, 0x4BFE, {0xB1, 0x85, 0x3D, 0x77, 0x76, 0x8D, 0xC9, 0x02}};  // 2
constexpr GUID kFormat4bppIndexed          = {0x6FDDC324, 0x4E03, 0x4BFE, {0xB1, 0x85, 0x3D, 0x77, 0x76, 0x8D, 0xC9, 0x03}};  // 3
constexpr GUID kFormat8bppIndexed          = {0x6FDDC324, 0x4E03, 0x4BFE, {0xB1, 0x85, 0x3D, 0x77, 0x76, 0x8D, 0xC9, 0x04}};  // 4
constexpr GUID kFormatBlackWhite           = {0x6FDDC324, 0x4E03, 0x4BFE, {0xB1, 0x85, 0x3D, 0x77, 0x76, 0x8D, 0xC9, 0x05}};  // 5
constexpr GUID kFormat2bppGray             = {0x6FDDC324, 0x4E03, 0x4BFE, {0xB1, 0x85, 0x3D, 0x77, 0x76, 0x8D, 0xC9, 0x06}};  // 6
constexpr GUID kFormat4bppGray             = {0x6FDDC324, 0x4E03, 0x4BFE, {0xB1, 0x85, 0x3D, 0x77, 0x76, 0x8D, 0xC9, 0x07}};  // 7
constexpr GUID kFormat8bppGray             = {0x6FDDC324, 0x4E03, 0x4BFE, {0xB1, 0x85, 0x3D, 0x77, 0x76, 0x8D, 0xC9, 0x08}};  // 8
constexpr GUID kFormat16bppGray            = {0x6FDDC324, 0x4E03, 0x4BFE, {0xB1, 0x85, 0x3D, 0x77, 0x76, 0x8D, 0xC9, 0x0B}};  // 9
constexpr GUID kFormat16bppGrayFixedPoint  = {0x6FDDC324, 0x4E03, 0x4BFE, {0xB1, 0x85, 0x3D, 0x77, 0x76, 0x8D, 0xC9, 0x13}};  // 10
constexpr GUID kFormat16bppGrayHalf        = {0x6FDDC324, 0x4E03, 0x4BFE, {0xB1, 0x85, 0x3D, 0x77, 0x76, 0x8D, 0xC9, 0x3E}};  // 11
constexpr GUID kFormat32bppGrayFloat       = {0x6FDDC324, 0x4E03, 0x4BFE, {0xB1, 0x85, 0x3D, 0x77, 0x76, 0x8D, 0xC9, 0x11}};  // 12
constexpr GUID kFormat32bppGrayFixedPoint  = {0x6FDDC324, 0x4E03, 0x4BFE, {0xB1, 0x85, 0x3D, 0x77, 0x76, 0x8D, 0xC9, 0x3F}};  // 13
constexpr GUID kFormat16bppBGR555          = {0x6FDDC324, 0x4E03, 0x4BFE, {0xB1, 0x85, 0x3D, 0x77, 0x76, 0x8D, 0xC9, 0x09}};  // 14
constexpr GUID kFormat16bppBGR565          = {0x6FDDC324, 0x4E03, 0x4BFE, {0xB1, 0x85, 0x3D, 0x77, 0x76, 0x8D, 0xC9, 0x0A}};  // 15
constexpr GUID kFormat16bppBGRA5551        = {0x05EC7C2B, 0xF1E6, 0x4961, {0xAD, 0x46, 0xE1, 0xCC, 0x81, 0x0A, 0x87, 0xD2}};  // 16
constexpr GUID kFormat32bppBGR101010       = {0x6FDDC324, 0x4E03, 0x4BFE, {0xB1, 0x85, 0x3D, 0x77, 0x76, 0x8D, 0xC9, 0x14}};  // 17
constexpr GUID kFormat32bppRGBA1010102     = {0x25238D72, 0xFCF9, 0x4522, {0xB5, 0x14, 0x55, 0x78, 0xE5, 0xAD, 0x55, 0xE0}};  // 18
constexpr GUID kFormat32bppRGBA1010102XR   = {0x00DE6B9A, 0xC101, 0x434B, {0xB5, 0x02, 0xD0, 0x16, 0x5E, 0xE1, 0x12, 0x2C}};  // 19
constexpr GUID kFormat24bppRGB             = {0x6FDDC324, 0x4E03, 0x4BFE, {0xB1, 0x85, 0x3D, 0x77, 0x76, 0x8D, 0xC9, 0x0D}};  // 20
constexpr GUID kFormat24bppBGR             = {0x6FDDC324, 0x4E03, 0x4BFE, {0xB1, 0x85, 0x3D, 0x77, 0x76, 0x8D, 0xC9, 0x0C}};  // 21
constexpr GUID kFormat32bppBGR             = {0x6FDDC324, 0x4E03, 0x4BFE, {0xB1, 0x85, 0x3D, 0x77, 0x76, 0x8D, 0xC9, 0x0E}};  // 22
constexpr GUID kFormat32bppRGBA            = {0xF5C7AD2D, 0x6A8D, 0x43DD, {0xA7, 0xA8, 0xA2, 0x99, 0x35, 0x26, 0x1A, 0xE9}};  // 23
constexpr GUID kFormat32bppBGRA            = {0x6FDDC324, 0x4E03, 0x4BFE, {0xB1, 0x85, 0x3D, 0x77, 0x76, 0x8D, 0xC9, 0x0F}};  // 24
constexpr GUID kFormat32bppRGBE            = {0x6FDDC324, 0x4E03, 0x4BFE, {0xB1, 0x85, 0x3D, 0x77, 0x76, 0x8D, 0xC9, 0x3D}};  // 25
constexpr GUID kFormat32bppPRGBA           = {0x3CC4A650, 0xA527, 0x4D37, {0xA9, 0x16, 0x31, 0x42, 0xC7, 0xEB, 0xED, 0xBA}};  // 26
constexpr GUID kFormat32bppPBGRA           = {0x6FDDC324, 0x4E03, 0x4BFE, {0xB1, 0x85, 0x3D, 0x77, 0x76, 0x8D, 0xC9, 0x10}};  // 27
constexpr GUID kFormat48bppRGB             = {0x6FDDC324, 0x4E03, 0x4BFE, {0xB1, 0x85, 0x3D, 0x77, 0x76, 0x8D, 0xC9, 0x15}};  // 28
constexpr GUID kFormat48bppBGR             = {0xE605A384, 0xB468, 0x46CE, {0xBB, 0x2E, 0x36, 0xF1, 0x80, 0xE6, 0x43, 0x13}};  // 29
constexpr GUID kFormat48bppRGBFixedPoint   = {0x6FDDC324, 0x4E03, 0x4BFE, {0xB1, 0x85, 0x3D, 0x77, 0x76, 0x8D, 0xC9, 0x12}};  // 30
constexpr GUID kFormat48bppBGRFixedPoint   = {0x49CA140E, 0xCAB6, 0x493B, {0x9D, 0xDF, 0x60, 0x18, 0x7C, 0x37, 0x53, 0x2A}};  // 31
constexpr GUID kFormat48bppRGBHalf         = {0x6FDDC324, 0x4E03, 0x4BFE, {0xB1, 0x85, 0x3D, 0x77, 0x76, 0x8D, 0xC9, 0x3B}};  // 32
constexpr GUID kFormat64bppRGBA            = {0x6FDDC324, 0x4E03, 0x4BFE, {0xB1, 0x85, 0x3D, 0x77, 0x76, 0x8D, 0xC9, 0x16}};  // 33
constexpr GUID kFormat64bppBGRA            = {0x1562FF7C, 0xD352, 0x46F9, {0x97, 0x9E, 0x42, 0x97, 0x6B, 0x79, 0x22, 0x46}};  // 34
constexpr GUID kFormat64bppPRGBA           = {0x6FDDC324, 0x4E03, 0x4BFE, {0xB1, 0x85, 0x3D, 0x77, 0x76, 0x8D, 0xC9, 0x17}};  // 35
constexpr GUID kFormat64bppPBGRA           = {0x8C518E8E, 0xA4EC, 0x468B, {0xAE, 0x70, 0xC9, 0xA3, 0x5A, 0x9C, 0x55, 0x30}};  // 36
constexpr GUID kFormat64bppRGBFixedPoint   = {0x6FDDC324, 0x4E03, 0x4BFE, {0xB1, 0x85, 0x3D, 0x77, 0x76, 0x8D, 0xC9, 0x40}};  // 37
constexpr GUID kFormat64bppRGBAFixedPoint  = {0x6FDDC324, 0x4E03, 0x4BFE, {0xB1, 0x85, 0x3D, 0x77, 0x76, 0x8D, 0xC9, 0x1D}};  // 38
constexpr GUID kFormat64bppBGRAFixedPoint  = {0x356DE33C, 0x54D2, 0x4A23, {0xBB, 0x04, 0x9B, 0x7B, 0xF9, 0xB1, 0xD4, 0x2D}};  // 39
constexpr GUID kFormat64bppRGBHalf         = {0x6FDDC324, 0x4E03, 0x4BFE, {0xB1, 0x85, 0x3D, 0x77, 0x76, 0x8D, 0xC9, 0x42}};  // 40
constexpr GUID kFormat64bppRGBAHalf        = {0x6FDDC324, 0x4E03, 0x4BFE, {0xB1, 0x85, 0x3D, 0x77, 0x76, 0x8D, 0xC9, 0x3A}};  // 41
constexpr GUID kFormat96bppRGBFixedPoint   = {0x6FDDC324, 0x4E03, 0x4BFE, {0xB1, 0x85, 0x3D, 0x77, 0x76, 0x8D, 0xC9, 0x18}};  // 42
constexpr GUID kFormat128bppRGBFloat       = {0x6FDDC324, 0x4E03, 0x4BFE, {0xB1, 0x85, 0x3D, 0x77, 0x76, 0x8D, 0xC9, 0x1B}};  // 43
constexpr GUID kFormat128bppRGBAFloat      = {0x6FDDC324, 0x4E03, 0x4BFE, {0xB1, 0x85, 0x3D, 0x77, 0x76, 0x8D, 0xC9, 0x19}};  // 44
constexpr GUID kFormat128bppPRGBAFloat     = {0x6FDDC324, 0x4E03, 0x4BFE, {0xB1, 0x85, 0x3D, 0x77, 0x76, 0x8D, 0xC9, 0x1A}};  // 45
constexpr GUID kFormat128bppRGBFixedPoint  = {0x6FDDC324, 0x4E03, 0x4BFE, {0xB1, 0x85, 0x3D, 0x77, 0x76, 0x8D, 0xC9, 0x41}};  // 46
constexpr GUID kFormat128bppRGBAFixedPoint = {0x6FDDC324, 0x4E03, 0x4BFE, {0xB1, 0x85, 0x3D, 0x77, 0x76, 0x8D, 0xC9, 0x1E}};  // 47
constexpr GUID kFormat32bppCMYK            = {0x6FDDC324, 0x4E03, 0x4BFE, {0xB1, 0x85, 0x3D, 0x77, 0x76, 0x8D, 0xC9, 0x1C}};  // 48
constexpr GUID kFormat64bppCMYK            = {0x6FDDC324, 0x4E03, 0x4BFE, {0xB1, 0x85, 0x3D, 0x77, 0x76, 0x8D, 0xC9, 0x1F}};  // 49
constexpr GUID kFormat40bppCMYKAlpha       = {0x6FDDC324, 0x4E03, 0x4BFE, {0xB1, 0x85, 0x3D, 0x77, 0x76, 0x8D, 0xC9, 0x2C}};  // 50
constexpr GUID kFormat80bppCMYKAlpha       = {0x6FDDC324, 0x4E03, 0x4BFE, {0xB1, 0x85, 0x3D, 0x77, 0x76, 0x8D, 0xC9, 0x2D}};  // 51
constexpr GUID kFormat24bpp3Channels       = {0x6FDDC324, 0x4E03, 0x4BFE, {0xB1, 0x85, 0x3D, 0x77, 0x76, 0x8D, 0xC9, 0x20}};  // 52
constexpr GUID kFormat48bpp3Channels       = {0x6FDDC324, 0x4E03, 0x4BFE, {0xB1, 0x85, 0x3D, 0x77, 0x76, 0x8D, 0xC9, 0x26}};  // 53
constexpr GUID kFormat32bpp3ChannelsAlpha  = {0x6FDDC324, 0x4E03, 0x4BFE, {0xB1, 0x85, 0x3D, 0x77, 0x76, 0x8D, 0xC9, 0x2E}};  // 54
constexpr GUID kFormat64bpp3ChannelsAlpha  = {0x6FDDC324, 0x4E03, 0x4BFE, {0xB1, 0x85, 0x3D, 0x77, 0x76, 0x8D, 0xC9, 0x34}};  // 55
constexpr GUID kFormat32bpp4Channels       = {0x6FDDC324, 0x4E03, 0x4BFE, {0xB1, 0x85, 0x3D, 0x77, 0x76, 0x8D, 0xC9, 0x21}};  // 56
constexpr GUID kFormat64bpp4Channels       = {0x6FDDC324, 0x4E03, 0x4BFE, {0xB1, 0x85, 0x3D, 0x77, 0x76, 0x8D, 0xC9, 0x27}};  // 57
constexpr GUID kFormat40bpp4ChannelsAlpha  = {0x6FDDC324, 0x4E03, 0x4BFE, {0xB1, 0x85, 0x3D, 0x77, 0x76, 0x8D, 0xC9, 0x2F}};  // 58
constexpr GUID kFormat80bpp4ChannelsAlpha  = {0x6FDDC324, 0x4E03, 0x4BFE, {0xB1, 0x85, 0x3D, 0x77, 0x76, 0x8D, 0xC9, 0x35}};  // 59
constexpr GUID kFormat40bpp5Channels       = {0x6FDDC324, 0x4E03, 0x4BFE, {0xB1, 0x85, 0x3D, 0x77, 0x76, 0x8D, 0xC9, 0x22}};  // 60
constexpr GUID kFormat80bpp5Channels       = {0x6FDDC324, 0x4E03, 0x4BFE, {0xB1, 0x85, 0x3D, 0x77, 0x76, 0x8D, 0xC9, 0x28}};  // 61
constexpr GUID kFormat48bpp5ChannelsAlpha  = {0x6FDDC324, 0x4E03, 0x4BFE, {0xB1, 0x85, 0x3D, 0x77, 0x76, 0x8D, 0xC9, 0x30}};  // 62
constexpr GUID kFormat96bpp5ChannelsAlpha  = {0x6FDDC324, 0x4E03, 0x4BFE, {0xB1, 0x85, 0x3D, 0x77, 0x76, 0x8D, 0xC9, 0x36}};  // 63
constexpr GUID kFormat48bpp6Channels       = {0x6FDDC324, 0x4E03, 0x4BFE, {0xB1, 0x85, 0x3D, 0x77, 0x76, 0x8D, 0xC9, 0x23}};  // 64
constexpr GUID kFormat96bpp6Channels       = {0x6FDDC324, 0x4E03, 0x4BFE, {0xB1, 0x85, 0x3D, 0x77, 0x76, 0x8D, 0xC9, 0x29}};  // 65
constexpr GUID kFormat56bpp6ChannelsAlpha  = {0x6FDDC324, 0x4E03, 0x4BFE, {0xB1, 0x85, 0x3D, 0x77, 0x76, 0x8D, 0xC9, 0x31}};  // 66
constexpr GUID kFormat112bpp6ChannelsAlpha = {0x6FDDC324, 0x4E03, 0x4BFE, {0xB1, 0x85, 0x3D, 0x77, 0x76, 0x8D, 0xC9, 0x37}};  // 67
constexpr GUID kFormat56bpp7Channels       = {0x6FDDC324, 0x4E03, 0x4BFE, {0xB1, 0x85, 0x3D, 0x77, 0x76, 0x8D, 0xC9, 0x24}};  // 68
constexpr GUID kFormat112bpp7Channels      = {0x6FDDC324, 0x4E03, 0x4BFE, {0xB1, 0x85, 0x3D, 0x77, 0x76, 0x8D, 0xC9, 0x2A}};  // 69
constexpr GUID kFormat64bpp7ChannelsAlpha  = {0x6FDDC324, 0x4E03, 0x4BFE, {0xB1, 0x85, 0x3D, 0x77, 0x76, 0x8D, 0xC9, 0x32}};  // 70
constexpr GUID kFormat128bpp7ChannelsAlpha = {0x6FDDC324, 0x4E03, 0x4BFE, {0xB1, 0x85, 0x3D, 0x77, 0x76, 0x8D, 0xC9, 0x38}};  // 71
constexpr GUID kFormat64bpp8Channels       = {0x6FDDC324, 0x4E03, 0x4BFE, {0xB1, 0x85, 0x3D, 0x77, 0x76, 0x8D, 0xC9, 0x25}};  // 72
constexpr GUID kFormat128bpp8Channels      = {0x6FDDC324, 0x4E03, 0x4BFE, {0xB1, 0x85, 0x3D, 0x77, 0x76, 0x8D, 0xC9, 0x2B}};  // 73
constexpr GUID kFormat72bpp8ChannelsAlpha  = {0x6FDDC324, 0x4E03, 0x4BFE, {0xB1, 0x85, 0x3D, 0x77, 0x76, 0x8D, 0xC9, 0x33}};  // 74
constexpr GUID kFormat144bpp8ChannelsAlpha = {0x6FDDC324, 0x4E03, 0x4BFE, {0xB1, 0x85, 0x3D, 0x77, 0x76, 0x8D, 0xC9, 0x39}};  // 75
constexpr GUID kFormat8bppAlpha            = {0xE6CD0116, 0xEEBA, 0x4161, {0xAA, 0x85, 0x27, 0xDD, 0x9F, 0xB3, 0xA8, 0x95}};  // 76

// Rows in their fixed order: source format, the format a frame of it becomes
// when it has no alpha, the source's own bits per pixel, and whether the
// source carries alpha. A frame with alpha always becomes 32bppBGRA, so the
// target of an alpha row is never used.
constexpr PixelFormatEntry kRows[] = {
    // source                      target                bits  alpha       # kind
    {kFormat1bppIndexed,           kFormat1bppIndexed,      1, false},  //  1 palette, kept
    {kFormat2bppIndexed,           kFormat4bppIndexed,      2, false},  //  2 palette, widened to 4 bits
    {kFormat4bppIndexed,           kFormat4bppIndexed,      4, false},  //  3 palette, kept
    {kFormat8bppIndexed,           kFormat8bppIndexed,      8, false},  //  4 palette, kept
    {kFormatBlackWhite,            kFormatBlackWhite,       1, false},  //  5 two-level, kept
    {kFormat2bppGray,              kFormat4bppGray,         2, false},  //  6 grey, widened to 4 bits
    {kFormat4bppGray,              kFormat4bppGray,         4, false},  //  7 grey, kept
    {kFormat8bppGray,              kFormat8bppGray,         8, false},  //  8 grey, kept
    {kFormat16bppGray,             kFormat24bppBGR,        16, false},  //  9 grey
    {kFormat16bppGrayFixedPoint,   kFormat24bppBGR,        16, false},  // 10 grey, fixed point
    {kFormat16bppGrayHalf,         kFormat24bppBGR,        16, false},  // 11 grey, half float
    {kFormat32bppGrayFloat,        kFormat24bppBGR,        32, false},  // 12 grey, float
    {kFormat32bppGrayFixedPoint,   kFormat24bppBGR,        32, false},  // 13 grey, fixed point
    {kFormat16bppBGR555,           kFormat16bppBGR555,     16, false},  // 14 5-5-5, kept
    {kFormat16bppBGR565,           kFormat24bppBGR,        16, false},  // 15 5-6-5
    {kFormat16bppBGRA5551,         kFormat16bppBGR555,     16, true },  // 16 5-5-5 with 1-bit alpha
    {kFormat32bppBGR101010,        kFormat24bppBGR,        32, false},  // 17 10-10-10
    {kFormat32bppRGBA1010102,      kFormat24bppBGR,        32, true },  // 18 10-10-10 with 2-bit alpha
    {kFormat32bppRGBA1010102XR,    kFormat24bppBGR,        32, true },  // 19 10-10-10 extended range with 2-bit alpha
    {kFormat24bppRGB,              kFormat24bppBGR,        24, false},  // 20 RGB byte order
    {kFormat24bppBGR,              kFormat24bppBGR,        24, false},  // 21 the 24-bit output format
    {kFormat32bppBGR,              kFormat24bppBGR,        32, false},  // 22 unused fourth byte
    {kFormat32bppRGBA,             kFormat24bppBGR,        32, true },  // 23 RGB order with alpha
    {kFormat32bppBGRA,             kFormat24bppBGR,        32, true },  // 24 the alpha output format
    {kFormat32bppRGBE,             kFormat24bppBGR,        32, false},  // 25 shared exponent
    {kFormat32bppPRGBA,            kFormat24bppBGR,        32, true },  // 26 premultiplied alpha
    {kFormat32bppPBGRA,            kFormat24bppBGR,        32, true },  // 27 premultiplied alpha
    {kFormat48bppRGB,              kFormat24bppBGR,        48, false},  // 28 16 bits a channel
    {kFormat48bppBGR,              kFormat24bppBGR,        48, false},  // 29 16 bits a channel
    {kFormat48bppRGBFixedPoint,    kFormat24bppBGR,        48, false},  // 30 fixed point
    {kFormat48bppBGRFixedPoint,    kFormat24bppBGR,        48, false},  // 31 fixed point
    {kFormat48bppRGBHalf,          kFormat24bppBGR,        48, false},  // 32 half float
    {kFormat64bppRGBA,             kFormat24bppBGR,        64, true },  // 33 16 bits a channel with alpha
    {kFormat64bppBGRA,             kFormat24bppBGR,        64, true },  // 34 16 bits a channel with alpha
    {kFormat64bppPRGBA,            kFormat24bppBGR,        64, true },  // 35 premultiplied alpha
    {kFormat64bppPBGRA,            kFormat24bppBGR,        64, true },  // 36 premultiplied alpha
    {kFormat64bppRGBFixedPoint,    kFormat24bppBGR,        64, false},  // 37 fixed point, unused fourth channel
    {kFormat64bppRGBAFixedPoint,   kFormat24bppBGR,        64, true },  // 38 fixed point with alpha
    {kFormat64bppBGRAFixedPoint,   kFormat24bppBGR,        64, true },  // 39 fixed point with alpha
    {kFormat64bppRGBHalf,          kFormat24bppBGR,        64, false},  // 40 half float, unused fourth channel
    {kFormat64bppRGBAHalf,         kFormat24bppBGR,        64, true },  // 41 half float with alpha
    {kFormat96bppRGBFixedPoint,    kFormat24bppBGR,        96, false},  // 42 fixed point
    {kFormat128bppRGBFloat,        kFormat24bppBGR,       128, false},  // 43 float, unused fourth channel
    {kFormat128bppRGBAFloat,       kFormat24bppBGR,       128, true },  // 44 float with alpha
    {kFormat128bppPRGBAFloat,      kFormat24bppBGR,       128, true },  // 45 float, premultiplied alpha
    {kFormat128bppRGBFixedPoint,   kFormat24bppBGR,       128, false},  // 46 fixed point, unused fourth channel
    {kFormat128bppRGBAFixedPoint,  kFormat24bppBGR,       128, true },  // 47 fixed point with alpha
    {kFormat32bppCMYK,             kFormat24bppBGR,        32, false},  // 48 CMYK
    {kFormat64bppCMYK,             kFormat24bppBGR,        64, false},  // 49 CMYK, 16 bits a channel
    {kFormat40bppCMYKAlpha,        kFormat24bppBGR,        40, true },  // 50 CMYK with alpha
    {kFormat80bppCMYKAlpha,        kFormat24bppBGR,        80, true },  // 51 CMYK with alpha, 16 bits a channel
    {kFormat24bpp3Channels,        kFormat24bppBGR,        24, false},  // 52 3 channels, 8 bits each
    {kFormat48bpp3Channels,        kFormat24bppBGR,        48, false},  // 53 3 channels, 16 bits each
    {kFormat32bpp3ChannelsAlpha,   kFormat24bppBGR,        32, true },  // 54 3 channels with alpha, 8 bits each
    {kFormat64bpp3ChannelsAlpha,   kFormat24bppBGR,        64, true },  // 55 3 channels with alpha, 16 bits each
    {kFormat32bpp4Channels,        kFormat24bppBGR,        32, false},  // 56 4 channels, 8 bits each
    {kFormat64bpp4Channels,        kFormat24bppBGR,        64, false},  // 57 4 channels, 16 bits each
    {kFormat40bpp4ChannelsAlpha,   kFormat24bppBGR,        40, true },  // 58 4 channels with alpha, 8 bits each
    {kFormat80bpp4ChannelsAlpha,   kFormat24bppBGR,        80, true },  // 59 4 channels with alpha, 16 bits each
    {kFormat40bpp5Channels,        kFormat24bppBGR,        40, false},  // 60 5 channels, 8 bits each
    {kFormat80bpp5Channels,        kFormat24bppBGR,        80, false},  // 61 5 channels, 16 bits each
    {kFormat48bpp5ChannelsAlpha,   kFormat24bppBGR,        48, true },  // 62 5 channels with alpha, 8 bits each
    {kFormat96bpp5ChannelsAlpha,   kFormat24bppBGR,        96, true },  // 63 5 channels with alpha, 16 bits each
    {kFormat48bpp6Channels,        kFormat24bppBGR,        48, false},  // 64 6 channels, 8 bits each
    {kFormat96bpp6Channels,        kFormat24bppBGR,        96, false},  // 65 6 channels, 16 bits each
    {kFormat56bpp6ChannelsAlpha,   kFormat24bppBGR,        56, true },  // 66 6 channels with alpha, 8 bits each
    {kFormat112bpp6ChannelsAlpha,  kFormat24bppBGR,       112, true },  // 67 6 channels with alpha, 16 bits each
    {kFormat56bpp7Channels,        kFormat24bppBGR,        56, false},  // 68 7 channels, 8 bits each
    {kFormat112bpp7Channels,       kFormat24bppBGR,       112, false},  // 69 7 channels, 16 bits each
    {kFormat64bpp7ChannelsAlpha,   kFormat24bppBGR,        64, true },  // 70 7 channels with alpha, 8 bits each
    {kFormat128bpp7ChannelsAlpha,  kFormat24bppBGR,       128, true },  // 71 7 channels with alpha, 16 bits each
    {kFormat64bpp8Channels,        kFormat24bppBGR,        64, false},  // 72 8 channels, 8 bits each
    {kFormat128bpp8Channels,       kFormat24bppBGR,       128, false},  // 73 8 channels, 16 bits each
    {kFormat72bpp8ChannelsAlpha,   kFormat24bppBGR,        72, true },  // 74 8 channels with alpha, 8 bits each
    {kFormat144bpp8ChannelsAlpha,  kFormat24bppBGR,       144, true },  // 75 8 channels with alpha, 16 bits each
    {kFormat8bppAlpha,             kFormat24bppBGR,         8, true },  // 76 alpha only
};
static_assert(std::size(kRows) == 76);

constexpr PixelFormatEntry kFallback = {kFormatDontCare, kFormat24bppBGR, 0, false};

// The index is keyed by the identifier's 16 bytes as stored in memory,
// compared as an unsigned byte string.
using FormatKey = std::array<unsigned char, sizeof(GUID)>;
using FormatIndex = std::map<FormatKey, const PixelFormatEntry*>;

FormatKey KeyOf(const GUID& format) noexcept {
    FormatKey key;
    std::memcpy(key.data(), &format, key.size());
    return key;
}

// Process-wide state: the lock lives from attach to detach; the index from
// the first lookup to detach. Both are touched only under the lock, except
// when the module attaches and detaches.
std::optional<CriticalSection> g_lock;
std::unique_ptr<FormatIndex> g_index;
int g_indexBuildCount = 0;

// Inserts the rows in table order (an identifier already present keeps its
// first row). A build that runs out of memory frees the partial index and
// leaves the index absent, so the next lookup builds it again.
void BuildIndex() {
    auto index = std::make_unique<FormatIndex>();
    for (const PixelFormatEntry& row : kRows) index->emplace(KeyOf(row.source), &row);
    g_index = std::move(index);
    ++g_indexBuildCount;
}

CriticalSection& TableLock() {
    if (!g_lock) throw std::logic_error("pixel format table used before PixelFormatTableAttach");
    return *g_lock;
}

}  // namespace

const PixelFormatEntry& kFallbackEntry = kFallback;

const PixelFormatEntry& LookupPixelFormat(const GUID& format) {
    CriticalSectionLock hold(TableLock());
    if (!g_index) BuildIndex();
    const auto found = g_index->find(KeyOf(format));
    return found != g_index->end() ? *found->second : kFallbackEntry;
}

void PixelFormatTableAttach() noexcept { g_lock.emplace(); }

void PixelFormatTableDetach() noexcept {
    g_index.reset();
    g_lock.reset();
}

std::size_t PixelFormatRowCount() noexcept { return std::size(kRows); }

const PixelFormatEntry& PixelFormatRow(std::size_t index) noexcept { return kRows[index]; }

int PixelFormatIndexBuildCount() noexcept {
    if (!g_lock) return g_indexBuildCount;
    CriticalSectionLock hold(*g_lock);
    return g_indexBuildCount;
}

}  // namespace rorurera
