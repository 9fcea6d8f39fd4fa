#pragma once

// For tests that write the plug-in's settings key: saves whatever the key
// holds, starts the test without the key, and at the end deletes it and puts
// back what was saved (a parent key that did not exist before is removed
// again). Tests using it are registered with REGISTRY so that they never
// overlap.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

inline constexpr wchar_t kSettingsKey[] = L"Software\\Zodirudu_Revav\\Rorurera.spi";
inline constexpr wchar_t kSettingsParentKey[] = L"Software\\Zodirudu_Revav";

class SettingsKeyGuard {
public:
    SettingsKeyGuard() {
        HKEY parent = nullptr;
        parentExisted_ = ::RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsParentKey, 0, KEY_READ, &parent) == ERROR_SUCCESS;
        if (parent != nullptr) ::RegCloseKey(parent);
        HKEY key = nullptr;
        if (::RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key) == ERROR_SUCCESS) {
            keyExisted_ = true;
            SaveValues(key);
            ::RegCloseKey(key);
        }
        DeleteKey();
    }

    ~SettingsKeyGuard() {
        DeleteKey();
        if (keyExisted_) {
            HKEY key = nullptr;
            if (::RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                                  nullptr, &key, nullptr) == ERROR_SUCCESS) {
                for (const Value& v : saved_) {
                    ::RegSetValueExW(key, v.name.c_str(), 0, v.type, v.data.data(), static_cast<DWORD>(v.data.size()));
                }
                ::RegCloseKey(key);
            }
        } else if (!parentExisted_) {
            ::RegDeleteKeyW(HKEY_CURRENT_USER, kSettingsParentKey);  // only when empty
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
    static void WriteBinary(const wchar_t* name, const std::vector<std::uint8_t>& bytes) {
        Write(name, REG_BINARY, bytes.data(), bytes.size());
    }

    // A value as stored: false when absent.
    static bool Read(const wchar_t* name, DWORD& type, std::vector<std::uint8_t>& bytes) {
        DWORD size = 0;
        if (::RegGetValueW(HKEY_CURRENT_USER, kSettingsKey, name, RRF_RT_ANY | RRF_NOEXPAND, &type, nullptr, &size) !=
            ERROR_SUCCESS) {
            return false;
        }
        bytes.resize(size);
        if (::RegGetValueW(HKEY_CURRENT_USER, kSettingsKey, name, RRF_RT_ANY | RRF_NOEXPAND, &type, bytes.data(),
                           &size) != ERROR_SUCCESS) {
            return false;
        }
        bytes.resize(size);
        return true;
    }

private:
    struct Value {
        std::wstring name;
        DWORD type;
        std::vector<BYTE> data;
    };

    void SaveValues(HKEY key) {
        DWORD count = 0;
        DWORD maxName = 0;
        DWORD maxData = 0;
        if (::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, &maxName, &maxData,
                               nullptr, nullptr) != ERROR_SUCCESS) {
            return;
        }
        for (DWORD i = 0; i < count; ++i) {
            std::wstring name(maxName + 1, L'\0');
            std::vector<BYTE> data(maxData + 1);
            DWORD nameLength = maxName + 1;
            DWORD dataSize = maxData + 1;
            DWORD type = 0;
            if (::RegEnumValueW(key, i, name.data(), &nameLength, nullptr, &type, data.data(), &dataSize) ==
                ERROR_SUCCESS) {
                name.resize(nameLength);
                data.resize(dataSize);
                saved_.push_back({name, type, data});
            }
        }
    }

    bool parentExisted_ = false;
    bool keyExisted_ = false;
    std::vector<Value> saved_;
};

}  // namespace testing_support
