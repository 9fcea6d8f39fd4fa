#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <vector>

#include "common/owners.h"

namespace rorurera {

// The settings key under HKEY_CURRENT_USER, shared by both modules.
inline constexpr wchar_t kSettingsKeyPath[] = L"Software\\Zodirudu_Revav\\Rorurera.spi";

// How a picture with alpha becomes 24 bits: a stored "Alpha" of exactly 1
// blends, any other stored number drops the alpha channel.
enum class AlphaMode : DWORD {
    Discard = 0,
    Composite = 1,
};

// Background colour in the output's pixel byte order.
struct BgrColor {
    std::uint8_t blue;
    std::uint8_t green;
    std::uint8_t red;
};

using ColorHistory = std::array<COLORREF, 8>;   // index 0 the most recent
using CustomColors = std::array<COLORREF, 16>;  // the colour picker's slots

// Grey, red, yellow, green, cyan, blue, magenta, black.
inline constexpr ColorHistory kDefaultColorHistory = {0x808080, 0x0000FF, 0x00FFFF, 0x00FF00,
                                                      0xFFFF00, 0xFF0000, 0xFF00FF, 0x000000};
inline constexpr COLORREF kDefaultColor = 0xFFFFFF;

// A key under HKEY_CURRENT_USER opened for reading, or created for writing;
// null when that fails.
UniqueHkey OpenKeyForRead(const wchar_t* path) noexcept;
UniqueHkey CreateKeyForWrite(const wchar_t* path) noexcept;

// True only for a REG_DWORD value of exactly 4 bytes.
bool ReadDwordValue(const UniqueHkey& key, const wchar_t* name, DWORD& value) noexcept;
// Any type; the bytes as stored. May throw std::bad_alloc.
bool ReadBinaryValue(const UniqueHkey& key, const wchar_t* name, std::vector<std::uint8_t>& bytes);

// How pictures stored as linear-light floating point are tone mapped.
struct HdrSettings {
    // "HdrToneMap": only a stored 0 turns it off; absent, of another type or
    // of another size it is on.
    bool toneMap = true;
    // "HdrSdrWhite": the SDR white in nits, 80 .. 480 (1.0 .. 6.0 in scRGB);
    // 0 when it is to be found in each picture (stored 0, absent, invalid or
    // out of that range).
    DWORD sdrWhiteNits = 0;
};
// scRGB's 1.0 is 80 nits; the SDR white of a display lies between 80 and 480.
inline constexpr DWORD kNitsOfScRgbOne = 80;
inline constexpr DWORD kLowestSdrWhiteNits = 80;
inline constexpr DWORD kHighestSdrWhiteNits = 480;

// All that a picture needs of the settings, read with one opening of the
// key: the alpha mode, for Composite the background colour ("Color", white
// when absent; unused otherwise), the HDR settings and whether a picture's
// colour profile is used ("ColorProfile": as "HdrToneMap", only a stored 0
// turns it off).
struct PictureSettings {
    AlphaMode alphaMode = AlphaMode::Composite;
    BgrColor background{0xFF, 0xFF, 0xFF};
    HdrSettings hdr;
    bool colorProfile = true;
};
PictureSettings ReadPictureSettings() noexcept;

// What the settings dialog edits.
struct DialogSettings {
    ColorHistory history = kDefaultColorHistory;
    COLORREF color = kDefaultColor;
    bool alphaRead = false;  // "Alpha" was a valid DWORD
    DWORD alpha = static_cast<DWORD>(AlphaMode::Composite);
    HdrSettings hdr;           // as ReadPictureSettings reads them
    bool colorProfile = true;  // likewise
};

// Loads history, colour, alpha, the HDR settings and the colour-profile
// switch, in that order, with their defaults.
DialogSettings LoadDialogSettings(const wchar_t* keyPath);
// Writes history, colour, alpha, the tone-mapping switch (1 or 0), the SDR
// white (0 or nits) and the colour-profile switch (1 or 0), in that order;
// false when the key cannot be created (nothing is written then).
bool SaveDialogSettings(const wchar_t* keyPath, const ColorHistory& history, COLORREF color, DWORD alpha,
                        const HdrSettings& hdr, bool colorProfile) noexcept;
CustomColors LoadCustomColors(const wchar_t* keyPath);
void SaveCustomColors(const wchar_t* keyPath, const CustomColors& colors) noexcept;

}  // namespace rorurera
