#pragma once

// For tests that write the plug-in's settings key: saves whatever the key
// holds, starts the test without the key, and at the end deletes it and puts
// back what was saved (a parent key that did not exist before is removed
// again). Tests using it are registered with REGISTRY so that they never
// overlap.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "settings/settings_store.h"

namespace testing_support {

// The product's key, and the vendor key above it.
inline constexpr const wchar_t* kSettingsKey = rorurera::kSettingsKeyPath;
inline const std::wstring kSettingsParentKey = [] {
    const std::wstring key = kSettingsKey;
    return key.substr(0, key.rfind(L'\\'));
}();

// One registry value as stored.
struct StoredValue {
    DWORD type = 0;
    std::vector<std::uint8_t> bytes;
    bool operator==(const StoredValue&) const = default;
};
using StoredValues = std::map<std::wstring, StoredValue>;
inline void PrintTo(const StoredValue& value, std::ostream* out) {
    *out << "type " << value.type << ", " << value.bytes.size() << " bytes";
}

inline StoredValue DwordValue(DWORD value) {
    StoredValue stored{REG_DWORD, std::vector<std::uint8_t>(4)};
    std::memcpy(stored.bytes.data(), &value, 4);
    return stored;
}
inline StoredValue BinaryColors(std::span<const COLORREF> colors) {
    StoredValue stored{REG_BINARY, std::vector<std::uint8_t>(colors.size_bytes())};
    std::memcpy(stored.bytes.data(), colors.data(), colors.size_bytes());
    return stored;
}
// What the settings dialog's OK writes: exactly these six values.
inline StoredValues SavedSettings(const rorurera::ColorHistory& history, COLORREF color, DWORD alpha, DWORD toneMap = 1,
                                  DWORD sdrWhite = 0, DWORD colorProfile = 1) {
    return {{L"ColorHistory", BinaryColors(history)},
            {L"Color", DwordValue(color)},
            {L"Alpha", DwordValue(alpha)},
            {L"HdrToneMap", DwordValue(toneMap)},
            {L"HdrSdrWhite", DwordValue(sdrWhite)},
            {L"ColorProfile", DwordValue(colorProfile)}};
}

inline bool KeyExists(const wchar_t* path) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    ::RegCloseKey(key);
    return true;
}

class SettingsKeyGuard {
public:
    SettingsKeyGuard() : parentExisted_(KeyExists(kSettingsParentKey.c_str())), saved_(ReadAll()) { DeleteKey(); }

    ~SettingsKeyGuard() {
        DeleteKey();
        HKEY key = nullptr;
        if (saved_ && ::RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                                        nullptr, &key, nullptr) == ERROR_SUCCESS) {
            for (const auto& [name, value] : *saved_) {
                ::RegSetValueExW(key, name.c_str(), 0, value.type, value.bytes.data(),
                                 static_cast<DWORD>(value.bytes.size()));
            }
            ::RegCloseKey(key);
        } else if (!saved_ && !parentExisted_) {
            ::RegDeleteKeyW(HKEY_CURRENT_USER, kSettingsParentKey.c_str());  // only when empty
        }
    }

    SettingsKeyGuard(const SettingsKeyGuard&) = delete;
    SettingsKeyGuard& operator=(const SettingsKeyGuard&) = delete;

    static void DeleteKey() { ::RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey); }

    // Writes one value of any type, creating the key when needed.
    static void Write(const wchar_t* name, DWORD type, const void* data, std::size_t size) {
        HKEY key = nullptr;
        ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                                    nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        EXPECT_EQ(::RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), static_cast<DWORD>(size)),
                  ERROR_SUCCESS);
        ::RegCloseKey(key);
    }
    static void WriteDword(const wchar_t* name, DWORD value) { Write(name, REG_DWORD, &value, sizeof(value)); }
    static void WriteAll(const StoredValues& values) {
        for (const auto& [name, value] : values)
            Write(name.c_str(), value.type, value.bytes.data(), value.bytes.size());
    }
    static void WriteBinary(const wchar_t* name, const std::vector<std::uint8_t>& bytes) {
        Write(name, REG_BINARY, bytes.data(), bytes.size());
    }

    // Every value of the key; nothing when the key is absent.
    static std::optional<StoredValues> ReadAll() {
        HKEY key = nullptr;
        if (::RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return std::nullopt;
        DWORD count = 0, maxName = 0, maxData = 0;
        ::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, &maxName, &maxData,
                           nullptr, nullptr);
        StoredValues values;
        for (DWORD i = 0; i < count; ++i) {
            std::wstring name(maxName + 1, L'\0');
            StoredValue value{0, std::vector<std::uint8_t>(maxData + 1)};
            DWORD nameLength = maxName + 1;
            DWORD size = maxData + 1;
            if (::RegEnumValueW(key, i, name.data(), &nameLength, nullptr, &value.type, value.bytes.data(), &size) ==
                ERROR_SUCCESS) {
                name.resize(nameLength);
                value.bytes.resize(size);
                values[name] = value;
            }
        }
        ::RegCloseKey(key);
        return values;
    }

private:
    bool parentExisted_;
    std::optional<StoredValues> saved_;
};

}  // namespace testing_support
