// The settings store on the real registry of the test prefix: what the
// picture output and the settings dialog read from the settings key, with
// every default, and what the dialog's sequences write.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <span>
#include <vector>

#include "support/settings_key_guard.h"
#include "settings/settings_store.h"

namespace {

using rorurera::BgrColor;
using rorurera::ColorHistory;
using rorurera::CustomColors;
using rorurera::DialogSettings;
using rorurera::UniqueHkey;
using testing_support::BinaryColors;
using testing_support::DwordValue;
using testing_support::SavedSettings;
using testing_support::SettingsKeyGuard;
using testing_support::StoredValue;
using testing_support::StoredValues;

constexpr const wchar_t* kKey = rorurera::kSettingsKeyPath;

// Little-endian bytes of consecutive 32-bit colours.
std::vector<std::uint8_t> ColorBytes(std::initializer_list<COLORREF> colors) {
    return BinaryColors(std::span(colors.begin(), colors.size())).bytes;
}

class SettingsStoreTest : public testing::Test {
protected:
    SettingsKeyGuard guard;
};

// --- the key -------------------------------------------------------------------

TEST_F(SettingsStoreTest, OpenForReadNeverCreatesTheKey) {
    {
        const UniqueHkey key = rorurera::OpenKeyForRead(kKey);
        EXPECT_FALSE(key);
        EXPECT_EQ(key.get(), nullptr);
    }
    HKEY probe = nullptr;
    EXPECT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &probe), ERROR_FILE_NOT_FOUND);
}

TEST_F(SettingsStoreTest, CreateForWriteMakesTheWholePath) {
    {
        const UniqueHkey key = rorurera::CreateKeyForWrite(kKey);
        ASSERT_TRUE(key);
    }
    const UniqueHkey key = rorurera::OpenKeyForRead(kKey);
    EXPECT_TRUE(key);
}

// --- single values ---------------------------------------------------------

TEST_F(SettingsStoreTest, DwordValueIsReadOnlyWhenItIsAFourByteDword) {
    SettingsKeyGuard::WriteDword(L"Dword", 0x12345678);
    SettingsKeyGuard::WriteBinary(L"Binary4", {1, 2, 3, 4});
    const std::uint64_t qword = 7;
    SettingsKeyGuard::Write(L"Qword", REG_QWORD, &qword, sizeof(qword));
    const UniqueHkey key = rorurera::OpenKeyForRead(kKey);
    ASSERT_TRUE(key);

    DWORD value = 99;
    EXPECT_TRUE(rorurera::ReadDwordValue(key, L"Dword", value));
    EXPECT_EQ(value, 0x12345678u);
    value = 99;
    EXPECT_FALSE(rorurera::ReadDwordValue(key, L"Binary4", value));
    EXPECT_FALSE(rorurera::ReadDwordValue(key, L"Qword", value));
    EXPECT_FALSE(rorurera::ReadDwordValue(key, L"Missing", value));
    EXPECT_EQ(value, 99u);
}

TEST_F(SettingsStoreTest, ReadsThroughAMissingKeyFail) {
    const UniqueHkey key = rorurera::OpenKeyForRead(kKey);
    DWORD value = 5;
    std::vector<std::uint8_t> bytes{1};
    EXPECT_FALSE(rorurera::ReadDwordValue(key, L"Alpha", value));
    EXPECT_FALSE(rorurera::ReadBinaryValue(key, L"ColorHistory", bytes));
    EXPECT_EQ(value, 5u);
    EXPECT_EQ(bytes, std::vector<std::uint8_t>{1});
}

TEST_F(SettingsStoreTest, BinaryValueOfAnyTypeGivesItsBytes) {
    SettingsKeyGuard::WriteBinary(L"Seven", {1, 2, 3, 4, 5, 6, 7});
    SettingsKeyGuard::WriteDword(L"Dword", 0x0A0B0C0D);
    SettingsKeyGuard::WriteBinary(L"Empty", {});
    const UniqueHkey key = rorurera::OpenKeyForRead(kKey);

    std::vector<std::uint8_t> bytes;
    ASSERT_TRUE(rorurera::ReadBinaryValue(key, L"Seven", bytes));
    EXPECT_EQ(bytes, (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6, 7}));
    ASSERT_TRUE(rorurera::ReadBinaryValue(key, L"Dword", bytes));
    EXPECT_EQ(bytes, (std::vector<std::uint8_t>{0x0D, 0x0C, 0x0B, 0x0A}));
    ASSERT_TRUE(rorurera::ReadBinaryValue(key, L"Empty", bytes));
    EXPECT_TRUE(bytes.empty());
    EXPECT_FALSE(rorurera::ReadBinaryValue(key, L"Missing", bytes));
}

// --- what the picture output reads ------------------------------------------

// The alpha mode a picture takes (1 blend, 0 drop), and when it blends the
// background it blends over.
int ReadOutputSettings(BgrColor& background) {
    const rorurera::PictureSettings settings = rorurera::ReadPictureSettings();
    if (settings.alphaMode != rorurera::AlphaMode::Composite) return 0;
    background = settings.background;
    return 1;
}

// What a picture takes for what is stored, from a background of {1, 2, 3},
// and whether it uses its colour profile (as the dialog loads it, too).
struct OutputCase {
    const char* name;
    StoredValues stored;
    std::int32_t alpha;
    BgrColor background;
    bool colorProfile = true;
};

const std::uint64_t kEightBytes = 0x336699;
const std::vector<std::uint8_t> kEightByteColor(reinterpret_cast<const std::uint8_t*>(&kEightBytes),
                                                reinterpret_cast<const std::uint8_t*>(&kEightBytes) + 8);
constexpr BgrColor kWhite{0xFF, 0xFF, 0xFF};

// clang-format off
const OutputCase kOutputCases[] = {
    {"NoKeyBlendsOverWhite", {}, 1, {0xFF, 0xFF, 0xFF}},
    {"AlphaZeroDropsAndLeavesTheBackground",
     {{L"Alpha", DwordValue(0)}, {L"Color", DwordValue(0x336699)}}, 0, {1, 2, 3}},
    {"OtherAlphaNumbersDrop", {{L"Alpha", DwordValue(2)}}, 0, {1, 2, 3}},
    {"AllBitsAlphaDrops", {{L"Alpha", DwordValue(0xFFFFFFFF)}}, 0, {1, 2, 3}},
    {"AlphaStoredAsBinaryCountsAsAbsent",
     {{L"Alpha", {REG_BINARY, {0, 0, 0, 0}}}, {L"Color", DwordValue(0x000080)}}, 1, {0x00, 0x00, 0x80}},
    {"ColorGivesBackgroundInBlueGreenRedOrder",
     {{L"Alpha", DwordValue(1)}, {L"Color", DwordValue(0x336699)}}, 1, {0x33, 0x66, 0x99}},
    {"TopByteOfTheColorIsIgnored", {{L"Color", DwordValue(0xAA102030)}}, 1, {0x10, 0x20, 0x30}},
    {"EightBinaryBytesOfColorAreWhite", {{L"Color", {REG_BINARY, kEightByteColor}}}, 1, {0xFF, 0xFF, 0xFF}},
    {"QwordColorIsWhite", {{L"Color", {REG_QWORD, kEightByteColor}}}, 1, {0xFF, 0xFF, 0xFF}},
    {"FourBinaryBytesOfColorAreWhite", {{L"Color", {REG_BINARY, {0x99, 0x66, 0x33, 0x00}}}}, 1, {0xFF, 0xFF, 0xFF}},
    {"ColorProfileZeroIsOff", {{L"ColorProfile", DwordValue(0)}}, 1, kWhite, false},
    {"ColorProfileZeroIsOffWhenAlphaDrops",
     {{L"Alpha", DwordValue(0)}, {L"ColorProfile", DwordValue(0)}}, 0, {1, 2, 3}, false},
    {"ColorProfileOneIsOn", {{L"ColorProfile", DwordValue(1)}}, 1, kWhite, true},
    {"ColorProfileTwoIsOn", {{L"ColorProfile", DwordValue(2)}}, 1, kWhite, true},
    {"ColorProfileZeroAsBinaryIsOn", {{L"ColorProfile", {REG_BINARY, {0, 0, 0, 0}}}}, 1, kWhite, true},
    {"ColorProfileEightByteZeroIsOn", {{L"ColorProfile", {REG_DWORD, std::vector<std::uint8_t>(8)}}}, 1, kWhite,
     true},
};
// clang-format on

class OutputSettingsTest : public SettingsStoreTest, public testing::WithParamInterface<OutputCase> {};

TEST_P(OutputSettingsTest, AlphaBackgroundAndColorProfileAsStored) {
    SettingsKeyGuard::WriteAll(GetParam().stored);
    BgrColor background{1, 2, 3};
    EXPECT_EQ(ReadOutputSettings(background), GetParam().alpha);
    EXPECT_EQ(background.blue, GetParam().background.blue);
    EXPECT_EQ(background.green, GetParam().background.green);
    EXPECT_EQ(background.red, GetParam().background.red);
    EXPECT_EQ(rorurera::ReadPictureSettings().colorProfile, GetParam().colorProfile);
    EXPECT_EQ(rorurera::LoadDialogSettings(kKey).colorProfile, GetParam().colorProfile) << "the dialog";
}

INSTANTIATE_TEST_SUITE_P(Cases, OutputSettingsTest, testing::ValuesIn(kOutputCases),
                         [](const testing::TestParamInfo<OutputCase>& info) { return info.param.name; });

TEST_F(SettingsStoreTest, EveryReadSeesTheRegistryAsItIsNow) {
    BgrColor background{};
    EXPECT_EQ(ReadOutputSettings(background), 1);
    SettingsKeyGuard::WriteDword(L"Alpha", 0);
    EXPECT_EQ(ReadOutputSettings(background), 0);
    SettingsKeyGuard::WriteDword(L"Alpha", 1);
    SettingsKeyGuard::WriteDword(L"Color", 0x010203);
    EXPECT_EQ(ReadOutputSettings(background), 1);
    EXPECT_EQ(background.blue, 0x01);
    EXPECT_EQ(background.red, 0x03);
}

// --- what the dialog loads ------------------------------------------------------

constexpr ColorHistory kDefaults = {0x808080, 0x0000FF, 0x00FFFF, 0x00FF00, 0xFFFF00, 0xFF0000, 0xFF00FF, 0x000000};

TEST_F(SettingsStoreTest, DialogDefaultsWithoutKey) {
    const DialogSettings settings = rorurera::LoadDialogSettings(kKey);
    EXPECT_EQ(settings.history, kDefaults);
    EXPECT_EQ(settings.color, 0xFFFFFFu);
    EXPECT_FALSE(settings.alphaRead);
    EXPECT_EQ(settings.alpha, 1u);
    EXPECT_TRUE(settings.colorProfile);
}

TEST_F(SettingsStoreTest, DialogReadsAlphaAsStored) {
    SettingsKeyGuard::WriteDword(L"Alpha", 5);
    SettingsKeyGuard::WriteDword(L"Color", 0x123456);
    DialogSettings settings = rorurera::LoadDialogSettings(kKey);
    EXPECT_TRUE(settings.alphaRead);
    EXPECT_EQ(settings.alpha, 5u);
    EXPECT_EQ(settings.color, 0x123456u);

    SettingsKeyGuard::WriteDword(L"Alpha", 0);
    settings = rorurera::LoadDialogSettings(kKey);
    EXPECT_TRUE(settings.alphaRead);
    EXPECT_EQ(settings.alpha, 0u);

    SettingsKeyGuard::WriteBinary(L"Alpha", {0, 0, 0, 0});
    SettingsKeyGuard::WriteBinary(L"Color", {1, 2, 3, 4});
    settings = rorurera::LoadDialogSettings(kKey);
    EXPECT_FALSE(settings.alphaRead);
    EXPECT_EQ(settings.alpha, 1u);
    EXPECT_EQ(settings.color, 0xFFFFFFu);
}

// The history the dialog loads from a stored "ColorHistory": whole entries
// replace the leading defaults.
struct HistoryCase {
    const char* name;
    StoredValue stored;  // as "ColorHistory"
    ColorHistory history;
};

std::vector<std::uint8_t> WithTwoMoreBytes(std::vector<std::uint8_t> bytes) {
    bytes.insert(bytes.end(), {0xEE, 0xEE});
    return bytes;
}

// clang-format off
const HistoryCase kHistoryCases[] = {
    {"TwelveBytesReplaceTheFirstThree", {REG_BINARY, ColorBytes({0x111111, 0x222222, 0x333333})},
     {0x111111, 0x222222, 0x333333, 0x00FF00, 0xFFFF00, 0xFF0000, 0xFF00FF, 0x000000}},
    {"ThirtyFourBytesGiveEightEntries",
     {REG_BINARY, WithTwoMoreBytes(ColorBytes({1, 2, 3, 4, 5, 6, 7, 8}))}, {1, 2, 3, 4, 5, 6, 7, 8}},
    {"FortyBytesUseTheFirstEight", {REG_BINARY, ColorBytes({1, 2, 3, 4, 5, 6, 7, 8, 9, 10})},
     {1, 2, 3, 4, 5, 6, 7, 8}},
    {"AnyTypeIsAccepted", DwordValue(0x00ABCDEF),
     {0xABCDEF, 0x0000FF, 0x00FFFF, 0x00FF00, 0xFFFF00, 0xFF0000, 0xFF00FF, 0x000000}},
};
// clang-format on

class StoredHistoryTest : public SettingsStoreTest, public testing::WithParamInterface<HistoryCase> {};

TEST_P(StoredHistoryTest, LoadsAsStored) {
    SettingsKeyGuard::WriteAll({{L"ColorHistory", GetParam().stored}});
    EXPECT_EQ(rorurera::LoadDialogSettings(kKey).history, GetParam().history);
}

INSTANTIATE_TEST_SUITE_P(Cases, StoredHistoryTest, testing::ValuesIn(kHistoryCases),
                         [](const testing::TestParamInfo<HistoryCase>& info) { return info.param.name; });

TEST_F(SettingsStoreTest, AbsentCustomColorsAreWhite) {
    CustomColors white;
    white.fill(0xFFFFFF);
    EXPECT_EQ(rorurera::LoadCustomColors(kKey), white);  // no key
    SettingsKeyGuard::WriteDword(L"Alpha", 1);
    EXPECT_EQ(rorurera::LoadCustomColors(kKey), white);  // key without the value
}

TEST_F(SettingsStoreTest, ShortCustomColorListReplacesItsLeadingEntries) {
    std::vector<std::uint8_t> bytes = ColorBytes({0x010203, 0x040506});
    bytes.push_back(0x77);  // a partial entry is ignored
    SettingsKeyGuard::WriteBinary(L"CustomColors", bytes);
    const CustomColors colors = rorurera::LoadCustomColors(kKey);
    EXPECT_EQ(colors[0], 0x010203u);
    EXPECT_EQ(colors[1], 0x040506u);
    for (std::size_t i = 2; i < colors.size(); ++i) EXPECT_EQ(colors[i], 0xFFFFFFu) << i;
}

// --- what the dialog writes ---------------------------------------------------

TEST_F(SettingsStoreTest, SaveDialogSettingsWritesSixValuesOfTheirTypes) {
    const ColorHistory history = {8, 7, 6, 5, 4, 3, 2, 1};
    EXPECT_TRUE(rorurera::SaveDialogSettings(kKey, history, 0x336699, 0, {false, 300}, false));

    EXPECT_EQ(SettingsKeyGuard::ReadAll(), std::optional(SavedSettings(history, 0x336699, 0, 0, 300, 0)));

    const DialogSettings loaded = rorurera::LoadDialogSettings(kKey);
    EXPECT_EQ(loaded.history, history);
    EXPECT_EQ(loaded.color, 0x336699u);
    EXPECT_TRUE(loaded.alphaRead);
    EXPECT_EQ(loaded.alpha, 0u);
    EXPECT_FALSE(loaded.hdr.toneMap);
    EXPECT_EQ(loaded.hdr.sdrWhiteNits, 300u);
    EXPECT_FALSE(loaded.colorProfile);

    EXPECT_TRUE(rorurera::SaveDialogSettings(kKey, history, 0x336699, 0, {true, 0}, true));
    EXPECT_EQ(SettingsKeyGuard::ReadAll(), std::optional(SavedSettings(history, 0x336699, 0, 1, 0, 1)));
}

TEST_F(SettingsStoreTest, SaveCustomColorsWritesSixtyFourBytes) {
    CustomColors colors;
    for (std::size_t i = 0; i < colors.size(); ++i) colors[i] = static_cast<COLORREF>(0x010101 * i);
    rorurera::SaveCustomColors(kKey, colors);

    EXPECT_EQ(SettingsKeyGuard::ReadAll(), std::optional(StoredValues{{L"CustomColors", BinaryColors(colors)}}));
    EXPECT_EQ(rorurera::LoadCustomColors(kKey), colors);
}

// A key that cannot be created: a non-volatile key cannot live under a
// volatile one.
class UncreatableKeyTest : public SettingsStoreTest {
protected:
    const std::wstring volatileKey_ = std::wstring(kKey) + L"\\Volatile";
    const std::wstring belowKey_ = volatileKey_ + L"\\Settings";
    void SetUp() override {
        HKEY key = nullptr;
        ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, volatileKey_.c_str(), 0, nullptr, REG_OPTION_VOLATILE, KEY_WRITE,
                                    nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        ::RegCloseKey(key);
    }
};

TEST_F(UncreatableKeyTest, SaveDialogSettingsReportsItAndWritesNothing) {
    EXPECT_FALSE(rorurera::CreateKeyForWrite(belowKey_.c_str()));
    EXPECT_FALSE(rorurera::SaveDialogSettings(belowKey_.c_str(), kDefaults, 0x123456, 1, {}, true));
    rorurera::SaveCustomColors(belowKey_.c_str(), CustomColors{});
    HKEY probe = nullptr;
    EXPECT_NE(::RegOpenKeyExW(HKEY_CURRENT_USER, belowKey_.c_str(), 0, KEY_READ, &probe), ERROR_SUCCESS);
}

}  // namespace
