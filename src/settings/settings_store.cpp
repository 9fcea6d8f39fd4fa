#include "settings/settings_store.h"

#include <algorithm>
#include <cstring>

namespace rorurera {
namespace {

constexpr wchar_t kColorValue[] = L"Color";
constexpr wchar_t kAlphaValue[] = L"Alpha";
constexpr wchar_t kColorHistoryValue[] = L"ColorHistory";
constexpr wchar_t kCustomColorsValue[] = L"CustomColors";
constexpr wchar_t kHdrToneMapValue[] = L"HdrToneMap";
constexpr wchar_t kHdrSdrWhiteValue[] = L"HdrSdrWhite";
constexpr wchar_t kColorProfileValue[] = L"ColorProfile";

// A switch that is on unless a valid DWORD 0 is stored.
bool ReadSwitch(const UniqueHkey& key, const wchar_t* name) noexcept {
    DWORD value = 1;
    return !ReadDwordValue(key, name, value) || value != 0;
}

// Only a valid DWORD of 80 to 480 sets the SDR white.
HdrSettings ReadHdr(const UniqueHkey& key) noexcept {
    HdrSettings hdr;
    hdr.toneMap = ReadSwitch(key, kHdrToneMapValue);
    DWORD value = 0;
    if (ReadDwordValue(key, kHdrSdrWhiteValue, value) && value >= kLowestSdrWhiteNits &&
        value <= kHighestSdrWhiteNits) {
        hdr.sdrWhiteNits = value;
    }
    return hdr;
}

// Copies the leading whole 4-byte entries of a stored colour list over the
// front of `colors`; entries the list does not reach keep their values.
template <std::size_t N>
void CopyColorList(const std::vector<std::uint8_t>& bytes, std::array<COLORREF, N>& colors) noexcept {
    const std::size_t count = std::min(bytes.size() / sizeof(COLORREF), N);
    std::memcpy(colors.data(), bytes.data(), count * sizeof(COLORREF));
}

template <std::size_t N>
void ReadColorList(const UniqueHkey& key, const wchar_t* name, std::array<COLORREF, N>& colors) {
    std::vector<std::uint8_t> bytes;
    if (ReadBinaryValue(key, name, bytes)) CopyColorList(bytes, colors);
}

void WriteDword(const UniqueHkey& key, const wchar_t* name, DWORD value) noexcept {
    ::RegSetValueExW(key.get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

template <std::size_t N>
void WriteColorList(const UniqueHkey& key, const wchar_t* name, const std::array<COLORREF, N>& colors) noexcept {
    ::RegSetValueExW(key.get(), name, 0, REG_BINARY, reinterpret_cast<const BYTE*>(colors.data()),
                     static_cast<DWORD>(N * sizeof(COLORREF)));
}

}  // namespace

UniqueHkey OpenKeyForRead(const wchar_t* path) noexcept {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS) key = nullptr;
    return UniqueHkey(key);
}

UniqueHkey CreateKeyForWrite(const wchar_t* path) noexcept {
    HKEY key = nullptr;
    const LONG status = ::RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                                          nullptr, &key, nullptr);
    return UniqueHkey(status == ERROR_SUCCESS ? key : nullptr);
}

bool ReadDwordValue(const UniqueHkey& key, const wchar_t* name, DWORD& value) noexcept {
    if (!key) return false;
    DWORD data = 0;
    DWORD type = REG_NONE;
    DWORD size = sizeof(data);
    if (::RegQueryValueExW(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size) != ERROR_SUCCESS) {
        return false;
    }
    if (type != REG_DWORD || size != sizeof(data)) return false;
    value = data;
    return true;
}

bool ReadBinaryValue(const UniqueHkey& key, const wchar_t* name, std::vector<std::uint8_t>& bytes) {
    if (!key) return false;
    DWORD size = 0;
    if (::RegQueryValueExW(key.get(), name, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS) return false;
    // Room for a value that grows by up to 4 bytes between the two queries.
    std::vector<std::uint8_t> data(std::size_t{size} + 4);
    DWORD filled = static_cast<DWORD>(data.size());
    if (::RegQueryValueExW(key.get(), name, nullptr, nullptr, data.data(), &filled) != ERROR_SUCCESS) {
        return false;
    }
    data.resize(filled);
    bytes = std::move(data);
    return true;
}

PictureSettings ReadPictureSettings() noexcept {
    const UniqueHkey key = OpenKeyForRead(kSettingsKeyPath);
    PictureSettings settings;
    settings.hdr = ReadHdr(key);
    settings.colorProfile = ReadSwitch(key, kColorProfileValue);
    DWORD alpha = static_cast<DWORD>(AlphaMode::Composite);
    if (ReadDwordValue(key, kAlphaValue, alpha) && alpha != static_cast<DWORD>(AlphaMode::Composite)) {
        settings.alphaMode = AlphaMode::Discard;
        return settings;
    }
    DWORD color = kDefaultColor;
    if (!ReadDwordValue(key, kColorValue, color)) color = kDefaultColor;
    settings.background = {static_cast<std::uint8_t>(color >> 16), static_cast<std::uint8_t>(color >> 8),
                           static_cast<std::uint8_t>(color)};
    return settings;
}

DialogSettings LoadDialogSettings(const wchar_t* keyPath) {
    DialogSettings settings;
    const UniqueHkey key = OpenKeyForRead(keyPath);
    ReadColorList(key, kColorHistoryValue, settings.history);
    if (!ReadDwordValue(key, kColorValue, settings.color)) settings.color = kDefaultColor;
    settings.alphaRead = ReadDwordValue(key, kAlphaValue, settings.alpha);
    if (!settings.alphaRead) settings.alpha = static_cast<DWORD>(AlphaMode::Composite);
    settings.hdr = ReadHdr(key);
    settings.colorProfile = ReadSwitch(key, kColorProfileValue);
    return settings;
}

bool SaveDialogSettings(const wchar_t* keyPath, const ColorHistory& history, COLORREF color, DWORD alpha,
                        const HdrSettings& hdr, bool colorProfile) noexcept {
    const UniqueHkey key = CreateKeyForWrite(keyPath);
    if (!key) return false;
    WriteColorList(key, kColorHistoryValue, history);
    WriteDword(key, kColorValue, color);
    WriteDword(key, kAlphaValue, alpha);
    WriteDword(key, kHdrToneMapValue, hdr.toneMap ? 1 : 0);
    WriteDword(key, kHdrSdrWhiteValue, hdr.sdrWhiteNits);
    WriteDword(key, kColorProfileValue, colorProfile ? 1 : 0);
    return true;
}

CustomColors LoadCustomColors(const wchar_t* keyPath) {
    CustomColors colors;
    colors.fill(kDefaultColor);
    const UniqueHkey key = OpenKeyForRead(keyPath);
    if (key) ReadColorList(key, kCustomColorsValue, colors);
    return colors;
}

void SaveCustomColors(const wchar_t* keyPath, const CustomColors& colors) noexcept {
    const UniqueHkey key = CreateKeyForWrite(keyPath);
    if (key) WriteColorList(key, kCustomColorsValue, colors);
}

}  // namespace rorurera
