// The configuration entry as a host uses it: the about box and the settings
// dialog, reached through the module's ConfigurationDlg. The dialog runs on a
// thread of its own, as it would on a host's window thread; the test thread
// finds its window, reads the controls, clicks, paints the owner-drawn buttons
// into a bitmap of its own and ends the dialog, then reads what reached the
// registry. Every test leaves the settings key as it found it.

#include <windows.h>

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "plugin.h"
#include "support/settings_key_guard.h"
#include "support/test_paths.h"

namespace {

// Window handles carry 32 significant bits; a 64-bit process may see the
// same window's handle sign-extended or not, depending on where it came from.
std::uint32_t WindowId(HWND window) { return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(window)); }

using testing_support::ModuleFileName;
using testing_support::ModulePath;
using testing_support::Narrow;

constexpr UINT kSelectColor = WM_USER + 1;

constexpr int kAlphaRemove = 1002;
constexpr int kAlphaComposite = 1003;
constexpr int kChooseColor = 1004;
constexpr int kHistory1 = 1005;
constexpr int kSwatch = 1016;
constexpr int kExifOrientation = 1018;
constexpr int kHdrToneMap = 1019;
constexpr int kHdrSdrWhite = 1020;
constexpr int kColorProfile = 1021;

// The colour picker's own controls.
constexpr int kPickerRed = 706;
constexpr int kPickerGreen = 707;
constexpr int kPickerBlue = 708;
constexpr int kPickerAddCustom = 712;

constexpr COLORREF kWhite = 0xFFFFFF;
constexpr COLORREF kGrey = 0x808080;
constexpr COLORREF kRed = 0x0000FF;
constexpr COLORREF kYellow = 0x00FFFF;
constexpr COLORREF kGreen = 0x00FF00;
constexpr COLORREF kCyan = 0xFFFF00;
constexpr COLORREF kBlue = 0xFF0000;
constexpr COLORREF kMagenta = 0xFF00FF;
constexpr COLORREF kBlack = 0x000000;

using History = rorurera::ColorHistory;
constexpr History kDefaultHistory = {kGrey, kRed, kYellow, kGreen, kCyan, kBlue, kMagenta, kBlack};

// Colours print as 0x00BBGGRR in failure messages.
struct Color {
    COLORREF value;
    bool operator==(const Color&) const = default;
};
void PrintTo(const Color& color, std::ostream* out) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%06lX", static_cast<unsigned long>(color.value));
    *out << text;
}
template <std::size_t N>
std::vector<Color> AsColors(const std::array<COLORREF, N>& colors) {
    return std::vector<Color>(colors.begin(), colors.end());
}

// --- the settings key ---------------------------------------------------------

using testing_support::BinaryColors;
using testing_support::kSettingsParentKey;
using testing_support::SavedSettings;
using testing_support::SettingsKeyGuard;
using testing_support::StoredValue;
using testing_support::StoredValues;

constexpr auto ReadSettingsKey = &SettingsKeyGuard::ReadAll;

void WriteColors(const wchar_t* name, const std::vector<COLORREF>& colors) {
    SettingsKeyGuard::Write(name, REG_BINARY, colors.data(), colors.size() * sizeof(COLORREF));
}

// --- windows --------------------------------------------------------------------

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    ::GetClassNameW(window, name, 64);
    return name;
}

std::wstring TextOf(HWND window) {
    wchar_t text[512] = {};
    ::GetWindowTextW(window, text, 512);
    return text;
}

template <typename Predicate>
bool WaitUntil(Predicate&& done, DWORD milliseconds = 10000) {
    const ULONGLONG end = ::GetTickCount64() + milliseconds;
    while (!done()) {
        if (::GetTickCount64() > end) return false;
        ::Sleep(2);
    }
    return true;
}

BOOL CALLBACK CollectDialog(HWND window, LPARAM found) {
    if (ClassOf(window) == L"#32770") reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
    return TRUE;
}

BOOL CALLBACK CollectWindow(HWND window, LPARAM found) {
    reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
    return TRUE;
}

// The dialog windows (class "#32770") that a thread owns.
std::vector<HWND> DialogsOfThread(DWORD thread) {
    std::vector<HWND> dialogs;
    ::EnumThreadWindows(thread, CollectDialog, reinterpret_cast<LPARAM>(&dialogs));
    return dialogs;
}

std::vector<HWND> ChildrenOf(HWND parent) {
    std::vector<HWND> children;
    ::EnumChildWindows(parent, CollectWindow, reinterpret_cast<LPARAM>(&children));
    return children;
}

// One call of ConfigurationDlg on a thread of its own, optionally with an
// owner window that the thread creates first. Whatever is still open when the
// run is destroyed is cancelled.
class ConfigurationRun {
public:
    using Call = std::function<int(HWND owner)>;

    ConfigurationRun(Call call, bool withOwner) {
        thread_ = std::thread([this, call = std::move(call), withOwner] {
            threadId_ = ::GetCurrentThreadId();
            if (withOwner) {
                owner_ = ::CreateWindowExW(0, L"Static", L"host window", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                                           nullptr, nullptr, nullptr);
            }
            started_ = true;
            result_ = call(owner_);
            if (owner_ != nullptr) ::DestroyWindow(owner_);
            finished_ = true;
        });
        WaitUntil([this] { return started_.load(); });
    }

    ~ConfigurationRun() {
        for (int attempt = 0; attempt < 50 && !finished_; ++attempt) {
            for (HWND dialog : DialogsOfThread(threadId_)) {
                ::PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
                ::PostMessageW(dialog, WM_CLOSE, 0, 0);
            }
            WaitUntil([this] { return finished_.load(); }, 100);
        }
        thread_.join();
    }
    ConfigurationRun(const ConfigurationRun&) = delete;
    ConfigurationRun& operator=(const ConfigurationRun&) = delete;

    HWND Owner() const { return owner_; }

    // The first visible dialog window of the thread other than `except`;
    // null when none appears.
    HWND WaitForDialog(HWND except = nullptr) const {
        HWND found = nullptr;
        WaitUntil([&] {
            for (HWND dialog : DialogsOfThread(threadId_)) {
                if (dialog != except && ::IsWindowVisible(dialog)) {
                    found = dialog;
                    return true;
                }
            }
            return finished_.load();
        });
        return found;
    }

    // What ConfigurationDlg returned; nothing when it has not returned in time.
    std::optional<int> Result(DWORD milliseconds = 10000) const {
        if (!WaitUntil([this] { return finished_.load(); }, milliseconds)) return std::nullopt;
        return result_.load();
    }

private:
    std::thread thread_;
    std::atomic<DWORD> threadId_{0};
    std::atomic<HWND> owner_{nullptr};
    std::atomic<bool> started_{false};
    std::atomic<bool> finished_{false};
    std::atomic<int> result_{0};
};

void Click(HWND dialog, int id) { ::SendMessageW(::GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

bool Checked(HWND dialog, int id) { return ::SendDlgItemMessageW(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED; }

bool Enabled(HWND dialog, int id) { return ::IsWindowEnabled(::GetDlgItem(dialog, id)) != FALSE; }

// --- painting -------------------------------------------------------------------

// A 32-bit top-down bitmap in a memory device context, filled with one colour.
class Canvas {
public:
    Canvas(int width, int height, COLORREF background) : width_(width), height_(height) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        dc_ = ::CreateCompatibleDC(nullptr);
        bitmap_ = ::CreateDIBSection(dc_, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0);
        previous_ = ::SelectObject(dc_, bitmap_);
        for (int i = 0; i < width * height; ++i) {
            bits_[i] = (GetRValue(background) << 16) | (GetGValue(background) << 8) | GetBValue(background);
        }
    }
    ~Canvas() {
        ::SelectObject(dc_, previous_);
        ::DeleteObject(bitmap_);
        ::DeleteDC(dc_);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    bool Valid() const { return dc_ != nullptr && bits_ != nullptr; }
    HDC Dc() const { return dc_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    COLORREF At(int x, int y) const {
        ::GdiFlush();
        const std::uint32_t pixel = bits_[y * width_ + x];
        return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
    }

private:
    int width_;
    int height_;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ previous_ = nullptr;
    std::uint32_t* bits_ = nullptr;
};

constexpr COLORREF kUntouched = 0x123456;  // a colour no test draws with

// Lets a button paint itself into a canvas the size of its client area: an
// owner-drawn button asks the dialog with WM_DRAWITEM, as on screen.
std::unique_ptr<Canvas> PaintControl(HWND dialog, int id) {
    const HWND control = ::GetDlgItem(dialog, id);
    RECT client{};
    ::GetClientRect(control, &client);
    auto canvas = std::make_unique<Canvas>(client.right, client.bottom, kUntouched);
    ::SendMessageW(control, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas->Dc()), PRF_CLIENT);
    return canvas;
}

// Asks the dialog directly to draw item `id` in the given state over the
// whole canvas.
void DrawItem(HWND dialog, int id, UINT state, const Canvas& canvas) {
    DRAWITEMSTRUCT item{};
    item.CtlType = ODT_BUTTON;
    item.CtlID = static_cast<UINT>(id);
    item.itemAction = ODA_DRAWENTIRE;
    item.itemState = state;
    item.hwndItem = ::GetDlgItem(dialog, id);
    item.hDC = canvas.Dc();
    item.rcItem = RECT{0, 0, canvas.Width(), canvas.Height()};
    ::SendMessageW(dialog, WM_DRAWITEM, static_cast<WPARAM>(id), reinterpret_cast<LPARAM>(&item));
}

// A swatch as drawn: a one-pixel frame in the button shadow colour around a
// fill. Returns the first pixel that differs, or an empty string.
std::string SwatchMismatch(const Canvas& canvas, COLORREF fill) {
    const COLORREF frame = ::GetSysColor(COLOR_BTNSHADOW);
    for (int y = 0; y < canvas.Height(); ++y) {
        for (int x = 0; x < canvas.Width(); ++x) {
            const bool onFrame = x == 0 || y == 0 || x == canvas.Width() - 1 || y == canvas.Height() - 1;
            const COLORREF expected = onFrame ? frame : fill;
            if (canvas.At(x, y) != expected) {
                char text[96];
                std::snprintf(text, sizeof text, "pixel %d,%d is 0x%06lX, expected 0x%06lX", x, y,
                              static_cast<unsigned long>(canvas.At(x, y)), static_cast<unsigned long>(expected));
                return text;
            }
        }
    }
    return {};
}

// What the swatch (in its frame) and the eight history buttons show on screen.
void ExpectShown(HWND dialog, COLORREF color, const History& history) {
    const auto swatch = PaintControl(dialog, kSwatch);
    const COLORREF centre = swatch->At(swatch->Width() / 2, swatch->Height() / 2);
    EXPECT_EQ(SwatchMismatch(*swatch, centre), "") << "swatch";
    EXPECT_EQ(Color{centre}, Color{color}) << "swatch";
    std::vector<Color> shown;
    for (int i = 0; i < 8; ++i) {
        const auto button = PaintControl(dialog, kHistory1 + i);
        shown.push_back(Color{button->At(button->Width() / 2, button->Height() / 2)});
    }
    EXPECT_EQ(shown, AsColors(history));
}

// --- fixtures -------------------------------------------------------------------

class ConfigurationTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(plugin_.Loaded()) << "error " << plugin_.LoadError();
        ASSERT_NE(plugin_.ConfigurationDlg, nullptr);
    }

    // Starts ConfigurationDlg(owner, function) on its own thread, inside a
    // hook of that thread when one is given (999 when it cannot be set).
    std::unique_ptr<ConfigurationRun> Start(int function, bool withOwner = false, int hookType = 0,
                                            HOOKPROC hook = nullptr) {
        const auto configure = plugin_.ConfigurationDlg;
        return std::make_unique<ConfigurationRun>(
            [configure, function, hookType, hook](HWND owner) {
                const HHOOK set = hook ? ::SetWindowsHookExW(hookType, hook, nullptr, ::GetCurrentThreadId()) : nullptr;
                if (hook != nullptr && set == nullptr) return 999;
                const int result = configure(owner, function);
                if (set != nullptr) ::UnhookWindowsHookEx(set);
                return result;
            },
            withOwner);
    }

    susie::Plugin plugin_{ModulePath()};
    SettingsKeyGuard key_;
};

// The settings dialog, open and ready on a thread of its own.
class SettingsDialogTest : public ConfigurationTest {
protected:
    // Opens the dialog; fails the test when it does not appear.
    HWND Open() {
        run_ = Start(1);
        const HWND dialog = run_->WaitForDialog();
        EXPECT_NE(dialog, nullptr) << "the settings dialog did not appear";
        return dialog;
    }
    // Ends it with a button and returns what ConfigurationDlg returned.
    std::optional<int> CloseWith(HWND dialog, int id) {
        Click(dialog, id);
        return run_->Result();
    }

    std::unique_ptr<ConfigurationRun> run_;
};

// --- ConfigurationDlg ---------------------------------------------------------------

std::atomic<int> g_windowsCreated{0};  // by the thread of the run that hooks it
LRESULT CALLBACK CountCreatedWindows(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND) ++g_windowsCreated;
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(ConfigurationTest, OtherFunctionsAreNotImplementedAndCreateNoWindow) {
    for (const int function : {2, -1, 3, 1000}) {
        SCOPED_TRACE("function " + std::to_string(function));
        g_windowsCreated = 0;
        const auto run = Start(function, true, WH_CBT, CountCreatedWindows);
        EXPECT_EQ(run->Result(3000), std::optional<int>(-1));
        EXPECT_EQ(g_windowsCreated.load(), 0);
    }
}

TEST_F(ConfigurationTest, AboutBoxShowsTheVersionTextUnderTheModuleName) {
    const auto run = Start(0, true);
    const HWND box = run->WaitForDialog();
    ASSERT_NE(box, nullptr) << "no about box";
    EXPECT_EQ(Narrow(TextOf(box)), Narrow(ModuleFileName()));
    EXPECT_EQ(WindowId(::GetWindow(box, GW_OWNER)), WindowId(run->Owner()));

    std::vector<std::string> texts;
    std::vector<HWND> buttons;
    for (HWND child : ChildrenOf(box)) {
        if (ClassOf(child) == L"Button") buttons.push_back(child);
        if (ClassOf(child) == L"Static" && !TextOf(child).empty()) texts.push_back(Narrow(TextOf(child)));
    }
    EXPECT_EQ(texts, std::vector<std::string>{Narrow(ModuleFileName() + L" version 1.1.2  written by Vazivaze")});
    ASSERT_EQ(buttons.size(), 1u) << "MB_OK has one button";
    EXPECT_EQ(::GetDlgCtrlID(buttons[0]), IDOK);
    ::SendMessageW(buttons[0], BM_CLICK, 0, 0);
    EXPECT_EQ(run->Result(), std::optional<int>(0));
    EXPECT_EQ(ReadSettingsKey(), std::nullopt) << "the about box touches no settings";
}

TEST_F(ConfigurationTest, SettingsDialogIsModalOverTheHostWindow) {
    const auto run = Start(1, true);
    const HWND dialog = run->WaitForDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(WindowId(::GetWindow(dialog, GW_OWNER)), WindowId(run->Owner()));
    EXPECT_FALSE(::IsWindowEnabled(run->Owner()));
    Click(dialog, IDCANCEL);
    EXPECT_EQ(run->Result(), std::optional<int>(0));
}

// For one test the vendor key is volatile; afterwards it is as it was.
class VolatileVendorKey {
public:
    VolatileVendorKey() : existed_(testing_support::KeyExists(kSettingsParentKey.c_str())) {
        DeleteVendorKey();
        HKEY key = nullptr;
        created_ = ::RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsParentKey.c_str(), 0, nullptr, REG_OPTION_VOLATILE,
                                     KEY_WRITE, nullptr, &key, nullptr) == ERROR_SUCCESS;
        if (created_) ::RegCloseKey(key);
    }
    ~VolatileVendorKey() {
        DeleteVendorKey();
        HKEY key = nullptr;
        if (existed_ &&
            ::RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsParentKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_WRITE, nullptr, &key, nullptr) == ERROR_SUCCESS) {
            ::RegCloseKey(key);
        }
    }
    VolatileVendorKey(const VolatileVendorKey&) = delete;
    VolatileVendorKey& operator=(const VolatileVendorKey&) = delete;
    bool Created() const { return created_; }

private:
    static void DeleteVendorKey() {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsParentKey.c_str());
        ::RegDeleteKeyW(HKEY_CURRENT_USER, kSettingsParentKey.c_str());
    }
    bool existed_;
    bool created_ = false;
};

DWORD SubkeyCount(const wchar_t* path) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
    DWORD subkeys = 0;
    ::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                       nullptr);
    ::RegCloseKey(key);
    return subkeys;
}

TEST_F(ConfigurationTest, OkWithoutAWritableKeyEndsTheDialogWithInternalError) {
    // A non-volatile key cannot be created under a volatile one.
    if (SubkeyCount(kSettingsParentKey.c_str()) != 0) GTEST_SKIP() << "other keys live under the vendor key";
    const VolatileVendorKey vendor;
    ASSERT_TRUE(vendor.Created());

    const auto run = Start(1);
    const HWND dialog = run->WaitForDialog();
    ASSERT_NE(dialog, nullptr);
    Click(dialog, IDOK);
    EXPECT_EQ(run->Result(), std::optional<int>(8));
    EXPECT_FALSE(::IsWindow(dialog));
    EXPECT_EQ(ReadSettingsKey(), std::nullopt);
}

// --- the settings dialog ------------------------------------------------------------

// The radio buttons show `remove`; the colour choice is usable only without
// it, the swatch never.
void ExpectAlphaChoice(HWND dialog, bool remove) {
    EXPECT_EQ(Checked(dialog, kAlphaRemove), remove);
    EXPECT_EQ(Checked(dialog, kAlphaComposite), !remove);
    EXPECT_EQ(Enabled(dialog, kChooseColor), !remove);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(Enabled(dialog, kHistory1 + i), !remove) << "history button " << i + 1;
    EXPECT_FALSE(Enabled(dialog, kSwatch));
}

TEST_F(SettingsDialogTest, FirstUseShowsTheDefaults) {
    const HWND dialog = Open();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(Narrow(TextOf(dialog)), Narrow(ModuleFileName()));
    ExpectAlphaChoice(dialog, false);
    ASSERT_NE(::GetDlgItem(dialog, kExifOrientation), nullptr);
    EXPECT_FALSE(::IsWindowVisible(::GetDlgItem(dialog, kExifOrientation)));
    EXPECT_TRUE(::IsWindowVisible(::GetDlgItem(dialog, kHdrToneMap)));
    EXPECT_TRUE(Checked(dialog, kHdrToneMap));
    EXPECT_TRUE(::IsWindowVisible(::GetDlgItem(dialog, kChooseColor)));
    EXPECT_EQ(Narrow(TextOf(::GetDlgItem(dialog, kAlphaRemove))), Narrow(L"アルファ情報を除去(&R)"));
    EXPECT_TRUE(::IsWindowVisible(::GetDlgItem(dialog, kColorProfile)));
    EXPECT_TRUE(Checked(dialog, kColorProfile));
    EXPECT_EQ(Narrow(TextOf(::GetDlgItem(dialog, kColorProfile))), Narrow(L"カラープロファイルを使う(&P)"));
    // Tab goes from the SDR white list to the colour-profile box, then to OK.
    const HWND profile = ::GetDlgItem(dialog, kColorProfile);
    EXPECT_EQ(::GetNextDlgTabItem(dialog, ::GetDlgItem(dialog, kHdrSdrWhite), FALSE), profile);
    EXPECT_EQ(::GetNextDlgTabItem(dialog, profile, FALSE), ::GetDlgItem(dialog, IDOK));
    ExpectShown(dialog, kWhite, kDefaultHistory);

    EXPECT_EQ(CloseWith(dialog, IDCANCEL), std::optional<int>(0));
    EXPECT_EQ(ReadSettingsKey(), std::nullopt) << "opening and cancelling writes nothing";
}

// What the swatch and the history buttons show.
struct Shown {
    COLORREF color;
    History history;
};

// A history case: what is stored, what the dialog opens with, then each
// step (a click on history button `click`, 0 .. 7, or with -1 the selection
// of `select` as the picker makes it) and what it shows after it. OK stores
// what shows last.
struct HistoryCase {
    const char* name;
    std::vector<COLORREF> storedHistory;  // empty: none stored
    std::optional<COLORREF> storedColor;
    Shown opened;
    struct Step {
        int click;
        COLORREF select;
        Shown then;
    };
    std::vector<Step> steps;
};

constexpr COLORREF kA = 0x0000AA, kB = 0x00BB00, kC = 0xCC0000, kD = 0x0D0D0D, kE = 0x0E0E0E, kCurrent = 0x111111;

// clang-format off
const HistoryCase kHistoryCases[] = {
    {"HistoryButtonMakesItsColourCurrentAndOkStoresIt", {}, std::nullopt, {kWhite, kDefaultHistory},
     {{1, 0, {kRed, {kWhite, kGrey, kYellow, kGreen, kCyan, kBlue, kMagenta, kBlack}}}}},
    {"FirstEntryTradesPlacesWithTheCurrentColour", {}, std::nullopt, {kWhite, kDefaultHistory},
     {{0, 0, {kGrey, {kWhite, kRed, kYellow, kGreen, kCyan, kBlue, kMagenta, kBlack}}},
      {0, 0, {kWhite, kDefaultHistory}}}},
    {"NewColourGoesInAndTheOldestFallsOff", {}, std::nullopt, {kWhite, kDefaultHistory},
     {{-1, 0x563412, {0x563412, {kWhite, kGrey, kRed, kYellow, kGreen, kCyan, kBlue, kMagenta}}},
      {-1, 0x010101, {0x010101, {0x563412, kWhite, kGrey, kRed, kYellow, kGreen, kCyan, kBlue}}}}},
    // Red is also history entry 2.
    {"ChoosingTheCurrentColourAgainChangesNothing", {}, kRed, {kRed, kDefaultHistory},
     {{1, 0, {kRed, kDefaultHistory}}, {-1, kRed, {kRed, kDefaultHistory}}}},
    // b: the first b leaves, the second stays; a: found at 1, the copy at 2 stays.
    {"StoredDuplicatesStayAndASelectionTakesOnlyTheFirstMatch", {kA, kB, kA, kCurrent, kC, kB, kD, kE}, kCurrent,
     {kCurrent, {kA, kB, kA, kCurrent, kC, kB, kD, kE}},
     {{1, 0, {kB, {kCurrent, kA, kA, kCurrent, kC, kB, kD, kE}}},
      {-1, kA, {kA, {kB, kCurrent, kA, kCurrent, kC, kB, kD, kE}}}}},
    {"ShortStoredHistoryReplacesOnlyItsLeadingEntries", {0x000001, 0x000002, 0x000003}, std::nullopt,
     {kWhite, {0x000001, 0x000002, 0x000003, kGreen, kCyan, kBlue, kMagenta, kBlack}}, {}},
};
// clang-format on

class HistoryTest : public SettingsDialogTest, public testing::WithParamInterface<HistoryCase> {};

TEST_P(HistoryTest, ShowsEachStepAndOkStoresTheLast) {
    const HistoryCase& c = GetParam();
    if (!c.storedHistory.empty()) WriteColors(L"ColorHistory", c.storedHistory);
    if (c.storedColor) SettingsKeyGuard::WriteDword(L"Color", *c.storedColor);
    const HWND dialog = Open();
    ASSERT_NE(dialog, nullptr);
    ExpectShown(dialog, c.opened.color, c.opened.history);
    Shown last = c.opened;
    for (std::size_t i = 0; i < c.steps.size(); ++i) {
        SCOPED_TRACE("step " + std::to_string(i + 1));
        const HistoryCase::Step& step = c.steps[i];
        if (step.click >= 0) {
            Click(dialog, kHistory1 + step.click);
        } else {
            ::SendMessageW(dialog, kSelectColor, step.select, 0);
        }
        ExpectShown(dialog, step.then.color, step.then.history);
        last = step.then;
    }
    EXPECT_EQ(CloseWith(dialog, IDOK), std::optional<int>(0));
    EXPECT_EQ(ReadSettingsKey(), std::optional(SavedSettings(last.history, last.color, 1)));
}

INSTANTIATE_TEST_SUITE_P(Cases, HistoryTest, testing::ValuesIn(kHistoryCases),
                         [](const testing::TestParamInfo<HistoryCase>& info) { return info.param.name; });

// An alpha case: "Alpha" as stored, the choice the dialog opens with, a
// click on a choice, and what OK writes (the colours stay on show).
struct AlphaCase {
    const char* name;
    DWORD storedType;  // REG_NONE: nothing stored
    DWORD stored;
    std::optional<COLORREF> storedColor;
    bool opensWithRemove;
    int click;                   // 0: none
    std::optional<DWORD> saved;  // nullopt: closed with Cancel, the key stays as it was
};

const AlphaCase kAlphaCases[] = {
    {"RemoveChoiceDisablesTheColourChoiceAndOkStoresZero", REG_NONE, 0, std::nullopt, false, kAlphaRemove, 0},
    {"StoredZeroOpensWithTheRemoveChoice", REG_DWORD, 0, kBlue, true, kAlphaComposite, 1},
    {"AnyOtherStoredAlphaOpensWithTheCompositeChoiceAndOkWritesOne", REG_DWORD, 5, std::nullopt, false, 0, 1},
    {"ZeroOfTheWrongTypeOpensWithTheCompositeChoice", REG_BINARY, 0, std::nullopt, false, 0, std::nullopt},
};

class AlphaChoiceTest : public SettingsDialogTest, public testing::WithParamInterface<AlphaCase> {};

TEST_P(AlphaChoiceTest, OpensWithTheStoredChoiceAndOkStoresTheShownOne) {
    const AlphaCase& c = GetParam();
    if (c.storedType != REG_NONE) SettingsKeyGuard::Write(L"Alpha", c.storedType, &c.stored, sizeof c.stored);
    if (c.storedColor) SettingsKeyGuard::WriteDword(L"Color", *c.storedColor);
    const std::optional<StoredValues> before = ReadSettingsKey();
    const HWND dialog = Open();
    ASSERT_NE(dialog, nullptr);
    ExpectAlphaChoice(dialog, c.opensWithRemove);
    if (c.click != 0) {
        Click(dialog, c.click);
        ExpectAlphaChoice(dialog, c.click == kAlphaRemove);
    }
    ExpectShown(dialog, c.storedColor.value_or(kWhite), kDefaultHistory);
    EXPECT_EQ(CloseWith(dialog, c.saved ? IDOK : IDCANCEL), std::optional<int>(0));
    EXPECT_EQ(
        ReadSettingsKey(),
        c.saved ? std::optional(SavedSettings(kDefaultHistory, c.storedColor.value_or(kWhite), *c.saved)) : before);
}

INSTANTIATE_TEST_SUITE_P(Cases, AlphaChoiceTest, testing::ValuesIn(kAlphaCases),
                         [](const testing::TestParamInfo<AlphaCase>& info) { return info.param.name; });

TEST_F(SettingsDialogTest, CancelWritesNothing) {
    const History stored = {0x000001, 0x000002, 0x000003, 0x000004, 0x000005, 0x000006, 0x000007, 0x000008};
    WriteColors(L"ColorHistory", {stored.begin(), stored.end()});
    SettingsKeyGuard::WriteDword(L"Color", kGreen);
    SettingsKeyGuard::WriteDword(L"Alpha", 0);
    SettingsKeyGuard::WriteDword(L"ColorProfile", 0);
    const std::optional<StoredValues> before = ReadSettingsKey();
    ASSERT_TRUE(before.has_value());

    const HWND dialog = Open();
    ASSERT_NE(dialog, nullptr);
    Click(dialog, kColorProfile);
    Click(dialog, kAlphaComposite);
    Click(dialog, kHistory1 + 3);
    ::SendMessageW(dialog, kSelectColor, 0x654321, 0);
    Click(dialog, kAlphaRemove);
    EXPECT_EQ(CloseWith(dialog, IDCANCEL), std::optional<int>(0));
    EXPECT_EQ(ReadSettingsKey(), before);
}

// The tone-mapping and colour-profile boxes: read from "HdrToneMap" and
// "ColorProfile" (only a valid 0 leaves a box clear), written by OK whatever
// the alpha choice, untouched by Cancel. The SDR white list beside the first:
// "自動" and eight levels in nits, the stored level selected ("自動" for none
// or one outside 80 .. 480; an unlisted one gets an item of its own), usable
// only while that box is checked.
TEST_F(SettingsDialogTest, CheckBoxesAndSdrWhiteListReadSaveAndCancel) {
    const DWORD zero = 0;
    const std::vector<std::string> kItems = {Narrow(L"自動"), "80", "120", "160", "200", "240", "300", "400", "480"};
    const struct {
        const char* name;
        DWORD storedType;  // REG_NONE: nothing stored
        bool shownChecked;
        int alphaButton;  // clicked before the box
        std::optional<DWORD> storedWhite;
        std::string shownWhite;
        int chosenItem;     // selected before closing, -1 none
        DWORD profileType;  // "ColorProfile" as stored; REG_NONE: nothing stored
        DWORD profile;
        bool profileShown;    // checked when the dialog opens
        bool profileClicked;  // clicked before closing
        int closeWith;
        // What OK writes (tone map, SDR white, colour profile); nullopt: the key stays as it was.
        std::optional<std::array<DWORD, 3>> saved;
    } kCases[] = {
        // clang-format off
        {"absent, cleared, OK", REG_NONE, true, kAlphaRemove, std::nullopt, kItems[0], 8,
         REG_NONE, 0, true, true, IDOK, {{0, 480, 0}}},
        {"stored 0, checked, OK", REG_DWORD, false, kAlphaComposite, 300, "300", -1,
         REG_DWORD, 0, false, false, IDOK, {{1, 300, 0}}},
        {"0 of the wrong type, cleared, OK", REG_BINARY, true, kAlphaComposite, 250, "250", -1,
         REG_BINARY, 0, true, false, IDOK, {{0, 250, 1}}},
        {"stored 0, checked, Cancel", REG_DWORD, false, kAlphaRemove, 500, kItems[0], 2,
         REG_DWORD, 0, false, true, IDCANCEL, std::nullopt},
        {"profile 2, kept, OK", REG_NONE, true, kAlphaComposite, std::nullopt, kItems[0], -1,
         REG_DWORD, 2, true, false, IDOK, {{0, 0, 1}}},
        // clang-format on
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        SettingsKeyGuard::DeleteKey();
        if (c.storedType != REG_NONE) SettingsKeyGuard::Write(L"HdrToneMap", c.storedType, &zero, sizeof zero);
        if (c.storedWhite) SettingsKeyGuard::WriteDword(L"HdrSdrWhite", *c.storedWhite);
        if (c.profileType != REG_NONE) {
            SettingsKeyGuard::Write(L"ColorProfile", c.profileType, &c.profile, sizeof c.profile);
        }
        const std::optional<StoredValues> before = ReadSettingsKey();
        const HWND dialog = Open();
        ASSERT_NE(dialog, nullptr);
        const HWND list = ::GetDlgItem(dialog, kHdrSdrWhite);
        std::vector<std::string> items;
        for (LRESULT i = 0; i < ::SendMessageW(list, CB_GETCOUNT, 0, 0); ++i) {
            wchar_t text[32] = {};
            ::SendMessageW(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
            items.push_back(Narrow(text));
        }
        std::vector<std::string> expected = kItems;
        if (c.shownWhite == "250") expected.push_back("250");
        EXPECT_EQ(items, expected);
        EXPECT_EQ(Narrow(TextOf(list)), c.shownWhite);
        EXPECT_EQ(Checked(dialog, kHdrToneMap), c.shownChecked);
        EXPECT_EQ(Enabled(dialog, kHdrSdrWhite), c.shownChecked);
        Click(dialog, c.alphaButton);
        EXPECT_EQ(Checked(dialog, kHdrToneMap), c.shownChecked) << "the alpha choice leaves the box alone";
        EXPECT_TRUE(Enabled(dialog, kHdrToneMap));
        Click(dialog, kHdrToneMap);
        EXPECT_EQ(Checked(dialog, kHdrToneMap), !c.shownChecked);
        EXPECT_EQ(Enabled(dialog, kHdrSdrWhite), !c.shownChecked) << "the list follows the box";
        EXPECT_EQ(Checked(dialog, kColorProfile), c.profileShown);
        EXPECT_TRUE(Enabled(dialog, kColorProfile));
        if (c.profileClicked) {
            Click(dialog, kColorProfile);
            EXPECT_EQ(Checked(dialog, kColorProfile), !c.profileShown);
        }
        if (c.chosenItem >= 0) ::SendMessageW(list, CB_SETCURSEL, c.chosenItem, 0);
        EXPECT_EQ(CloseWith(dialog, c.closeWith), std::optional<int>(0));
        if (c.saved) {
            EXPECT_EQ(ReadSettingsKey(),
                      std::optional(SavedSettings(kDefaultHistory, kWhite, c.alphaButton == kAlphaRemove ? 0 : 1,
                                                  (*c.saved)[0], (*c.saved)[1], (*c.saved)[2])));
        } else {
            EXPECT_EQ(ReadSettingsKey(), before);
        }
    }
}

// --- the colour picker ------------------------------------------------------------

class ColorPickerTest : public SettingsDialogTest {
protected:
    // Clicks the colour button and waits for the picker that it opens.
    HWND OpenPicker(HWND dialog) {
        ::PostMessageW(::GetDlgItem(dialog, kChooseColor), BM_CLICK, 0, 0);
        const HWND picker = run_->WaitForDialog(dialog);
        EXPECT_NE(picker, nullptr) << "the colour picker did not appear";
        if (picker != nullptr) {
            EXPECT_EQ(WindowId(::GetWindow(picker, GW_OWNER)), WindowId(dialog));
        }
        return picker;
    }

    static COLORREF PickerColor(HWND picker) {
        const auto channel = [picker](int id) {
            return static_cast<BYTE>(::GetDlgItemInt(picker, id, nullptr, FALSE));
        };
        return RGB(channel(kPickerRed), channel(kPickerGreen), channel(kPickerBlue));
    }

    static void SetPickerColor(HWND picker, COLORREF color) {
        ::SetDlgItemInt(picker, kPickerRed, GetRValue(color), FALSE);
        ::SetDlgItemInt(picker, kPickerGreen, GetGValue(color), FALSE);
        ::SetDlgItemInt(picker, kPickerBlue, GetBValue(color), FALSE);
    }

    // Ends the picker with OK or Cancel and waits until the dialog has
    // handled its outcome.
    void ClosePicker(HWND dialog, HWND picker, int id) {
        Click(picker, id);
        EXPECT_TRUE(WaitUntil([picker] { return !::IsWindow(picker); })) << "the picker stayed open";
        ::SendMessageW(dialog, WM_NULL, 0, 0);  // answered once the dialog's own loop runs again
    }

    static StoredValue CustomColorsValue(const std::vector<COLORREF>& leading) {
        std::array<COLORREF, 16> colors;
        colors.fill(kWhite);
        std::copy(leading.begin(), leading.end(), colors.begin());
        return BinaryColors(colors);
    }
};

TEST_F(ColorPickerTest, ConfirmedNewColourEntersTheHistoryAndCustomColoursAreSaved) {
    const HWND dialog = Open();
    ASSERT_NE(dialog, nullptr);
    const HWND picker = OpenPicker(dialog);
    ASSERT_NE(picker, nullptr);
    EXPECT_EQ(Color{PickerColor(picker)}, Color{kWhite}) << "the picker starts from the current colour";
    SetPickerColor(picker, 0x563412);
    Click(picker, kPickerAddCustom);
    ClosePicker(dialog, picker, IDOK);

    const History expected = {kWhite, kGrey, kRed, kYellow, kGreen, kCyan, kBlue, kMagenta};
    ExpectShown(dialog, 0x563412, expected);
    // The custom colours reach the registry at once; nothing else does before OK.
    EXPECT_EQ(ReadSettingsKey(), std::optional(StoredValues{{L"CustomColors", CustomColorsValue({0x563412})}}));

    EXPECT_EQ(CloseWith(dialog, IDOK), std::optional<int>(0));
    StoredValues saved = SavedSettings(expected, 0x563412, 1);
    saved[L"CustomColors"] = CustomColorsValue({0x563412});
    EXPECT_EQ(ReadSettingsKey(), std::optional(saved));
}

TEST_F(ColorPickerTest, PickerStartsFromTheCurrentColourAndConfirmingItChangesNothing) {
    const HWND dialog = Open();
    ASSERT_NE(dialog, nullptr);
    Click(dialog, kHistory1 + 1);  // red
    const History afterRed = {kWhite, kGrey, kYellow, kGreen, kCyan, kBlue, kMagenta, kBlack};
    const HWND picker = OpenPicker(dialog);
    ASSERT_NE(picker, nullptr);
    EXPECT_EQ(Color{PickerColor(picker)}, Color{kRed});
    ClosePicker(dialog, picker, IDOK);
    ExpectShown(dialog, kRed, afterRed);

    EXPECT_EQ(CloseWith(dialog, IDOK), std::optional<int>(0));
    StoredValues saved = SavedSettings(afterRed, kRed, 1);
    saved[L"CustomColors"] = CustomColorsValue({});
    EXPECT_EQ(ReadSettingsKey(), std::optional(saved));
}

TEST_F(ColorPickerTest, CancelledPickerChangesNothingButSavesTheCustomColours) {
    // Two stored custom colours; the other fourteen start white.
    WriteColors(L"CustomColors", {0x010203, 0x040506});
    const HWND dialog = Open();
    ASSERT_NE(dialog, nullptr);
    const HWND picker = OpenPicker(dialog);
    ASSERT_NE(picker, nullptr);
    SetPickerColor(picker, 0x0A0B0C);
    Click(picker, kPickerAddCustom);  // the picker puts it into the first slot
    ClosePicker(dialog, picker, IDCANCEL);
    ExpectShown(dialog, kWhite, kDefaultHistory);
    const StoredValues afterPicker{{L"CustomColors", CustomColorsValue({0x0A0B0C, 0x040506})}};
    EXPECT_EQ(ReadSettingsKey(), std::optional(afterPicker));

    EXPECT_EQ(CloseWith(dialog, IDCANCEL), std::optional<int>(0));
    EXPECT_EQ(ReadSettingsKey(), std::optional(afterPicker)) << "Cancel keeps what the picker saved";
}

TEST_F(ColorPickerTest, UntouchedCustomColoursAreSavedAsLoaded) {
    const std::vector<COLORREF> stored = {0x000010, 0x000011, 0x000012, 0x000013, 0x000014, 0x000015,
                                          0x000016, 0x000017, 0x000018, 0x000019, 0x00001A, 0x00001B,
                                          0x00001C, 0x00001D, 0x00001E, 0x00001F, 0x000020};  // one too many
    WriteColors(L"CustomColors", stored);
    const HWND dialog = Open();
    ASSERT_NE(dialog, nullptr);
    const HWND picker = OpenPicker(dialog);
    ASSERT_NE(picker, nullptr);
    ClosePicker(dialog, picker, IDCANCEL);
    EXPECT_EQ(ReadSettingsKey(),
              std::optional(StoredValues{{L"CustomColors", CustomColorsValue({stored.begin(), stored.begin() + 16})}}));
    EXPECT_EQ(CloseWith(dialog, IDCANCEL), std::optional<int>(0));
}

// What the dialogs of one thread got with WM_INITDIALOG; for the colour
// picker that is its CHOOSECOLORW, copied as it stood when the picker opened.
struct DialogStart {
    HWND window = nullptr;
    LPARAM parameter = 0;
    std::optional<CHOOSECOLORW> picker;
    std::array<COLORREF, 16> customColors{};
};
std::mutex g_startsLock;
std::vector<DialogStart> g_starts;
HWND g_settingsDialog = nullptr;  // guarded by g_startsLock

LRESULT CALLBACK RecordDialogStarts(int code, WPARAM wParam, LPARAM lParam) {
    const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && call->message == WM_INITDIALOG) {
        std::lock_guard lock(g_startsLock);
        DialogStart start;
        start.window = call->hwnd;
        start.parameter = call->lParam;
        if (g_settingsDialog != nullptr && WindowId(::GetWindow(call->hwnd, GW_OWNER)) == WindowId(g_settingsDialog) &&
            call->lParam != 0) {
            const auto* choose = reinterpret_cast<const CHOOSECOLORW*>(call->lParam);
            start.picker = *choose;
            if (choose->lpCustColors != nullptr) {
                std::copy(choose->lpCustColors, choose->lpCustColors + 16, start.customColors.begin());
            }
        }
        g_starts.push_back(start);
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(ColorPickerTest, DialogAndPickerGetWhatTheyNeed) {
    SettingsKeyGuard::WriteDword(L"Color", kMagenta);
    WriteColors(L"CustomColors", {0x000101, 0x000202, 0x000303});
    {
        std::lock_guard lock(g_startsLock);
        g_starts.clear();
        g_settingsDialog = nullptr;
    }
    run_ = Start(1, false, WH_CALLWNDPROC, RecordDialogStarts);
    const HWND dialog = run_->WaitForDialog();
    ASSERT_NE(dialog, nullptr);
    {
        std::lock_guard lock(g_startsLock);
        g_settingsDialog = dialog;
        ASSERT_EQ(g_starts.size(), 1u);
        EXPECT_EQ(g_starts[0].window, dialog);
        EXPECT_EQ(g_starts[0].parameter, 0) << "the dialog's creation parameter";
    }
    const HWND picker = OpenPicker(dialog);
    ASSERT_NE(picker, nullptr);
    DialogStart start;
    {
        std::lock_guard lock(g_startsLock);
        ASSERT_EQ(g_starts.size(), 2u);
        start = g_starts[1];
    }
    EXPECT_EQ(start.window, picker);
    ASSERT_TRUE(start.picker.has_value());
    const CHOOSECOLORW& choose = *start.picker;
    EXPECT_EQ(choose.lStructSize, sizeof(CHOOSECOLORW));
    EXPECT_EQ(choose.hwndOwner, dialog);
    EXPECT_EQ(choose.hInstance, nullptr);
    EXPECT_EQ(Color{choose.rgbResult}, Color{kMagenta});
    EXPECT_EQ(choose.Flags, static_cast<DWORD>(CC_RGBINIT));
    EXPECT_EQ(choose.lCustData, 0);
    EXPECT_EQ(choose.lpfnHook, nullptr);
    EXPECT_EQ(choose.lpTemplateName, nullptr);
    std::array<COLORREF, 16> expectedCustom;
    expectedCustom.fill(kWhite);
    expectedCustom[0] = 0x000101, expectedCustom[1] = 0x000202, expectedCustom[2] = 0x000303;
    EXPECT_EQ(AsColors(start.customColors), AsColors(expectedCustom));

    ClosePicker(dialog, picker, IDCANCEL);
    EXPECT_EQ(CloseWith(dialog, IDCANCEL), std::optional<int>(0));
}

// --- drawing ----------------------------------------------------------------------

TEST_F(SettingsDialogTest, EachButtonPaintsItsColourInAShadowFrame) {
    const History stored = {0x102030, 0x405060, 0x708090, 0xA0B0C0, 0xD0E0F0, 0x0F0E0D, 0x0C0B0A, 0x090807};
    WriteColors(L"ColorHistory", {stored.begin(), stored.end()});
    SettingsKeyGuard::WriteDword(L"Color", 0x336699);
    const HWND dialog = Open();
    ASSERT_NE(dialog, nullptr);

    const auto swatch = PaintControl(dialog, kSwatch);
    ASSERT_GT(swatch->Width(), 2);
    EXPECT_EQ(SwatchMismatch(*swatch, 0x336699), "");
    for (int i = 0; i < 8; ++i) {
        const auto button = PaintControl(dialog, kHistory1 + i);
        ASSERT_GT(button->Width(), 8);
        EXPECT_EQ(SwatchMismatch(*button, stored[i]), "") << "history button " << i + 1;
    }
    EXPECT_EQ(CloseWith(dialog, IDCANCEL), std::optional<int>(0));
}

// The pixels of a focus outline: the rectangle from (3, 3) to (right - 4,
// bottom - 4), both corners included.
bool OnOutline(int x, int y, int width, int height) {
    const int left = 3, top = 3, right = width - 4, bottom = height - 4;
    const bool onVertical = (x == left || x == right) && y >= top && y <= bottom;
    const bool onHorizontal = (y == top || y == bottom) && x >= left && x <= right;
    return onVertical || onHorizontal;
}

// Checks a drawn item: frame, fill (or the untouched background when there is
// none) and, when `focused`, a dotted outline in the button text colour with
// dots on each of its four sides. The gaps between the dots take the device
// context's background colour when its background mode is opaque.
void ExpectItem(const Canvas& canvas, std::optional<COLORREF> fill, bool focused) {
    const COLORREF frame = ::GetSysColor(COLOR_BTNSHADOW);
    const COLORREF dots = ::GetSysColor(COLOR_BTNTEXT);
    const bool opaqueGaps = ::GetBkMode(canvas.Dc()) == OPAQUE;
    const COLORREF gaps = ::GetBkColor(canvas.Dc());
    const int w = canvas.Width(), h = canvas.Height();
    int dotsPerSide[4] = {};
    int wrong = 0;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const bool onFrame = x == 0 || y == 0 || x == w - 1 || y == h - 1;
            COLORREF expected = !fill ? kUntouched : onFrame ? frame : *fill;
            const COLORREF pixel = canvas.At(x, y);
            if (focused && OnOutline(x, y, w, h)) {
                if (pixel == dots) {
                    if (y == 3) ++dotsPerSide[0];
                    if (x == w - 4) ++dotsPerSide[1];
                    if (y == h - 4) ++dotsPerSide[2];
                    if (x == 3) ++dotsPerSide[3];
                    continue;
                }
                if (opaqueGaps) expected = gaps;
            }
            if (pixel != expected && ++wrong <= 3) {
                ADD_FAILURE() << "pixel " << x << "," << y << " is " << testing::PrintToString(Color{pixel})
                              << ", expected " << testing::PrintToString(Color{expected});
            }
        }
    }
    EXPECT_EQ(wrong, 0);
    for (int side = 0; side < 4 && focused; ++side) EXPECT_GT(dotsPerSide[side], 0) << "outline side " << side;
}

// An item drawn on request over a canvas of the given size: its fill
// (nothing for an item without colour), with the outline when focused.
struct DrawCase {
    int id;
    UINT state;
    int width, height;
    std::optional<COLORREF> fill;
};

void ExpectDrawn(HWND dialog, const DrawCase& c) {
    SCOPED_TRACE("item " + std::to_string(c.id) + ", state " + std::to_string(c.state));
    const Canvas canvas(c.width, c.height, kUntouched);
    ASSERT_TRUE(canvas.Valid());
    DrawItem(dialog, c.id, c.state, canvas);
    ExpectItem(canvas, c.fill, (c.state & ODS_FOCUS) != 0);
}

TEST_F(SettingsDialogTest, FocusedItemGetsADottedOutlineAndOtherStatesDrawAlike) {
    const HWND dialog = Open();
    ASSERT_NE(dialog, nullptr);
    ::SendMessageW(dialog, kSelectColor, kYellow, 0);  // history: white, grey, red, ...
    for (const DrawCase& c :
         {DrawCase{kHistory1 + 2, ODS_FOCUS, 20, 24, kRed}, DrawCase{kHistory1 + 2, 0, 20, 24, kRed},
          DrawCase{kHistory1 + 2, ODS_SELECTED, 20, 24, kRed}, DrawCase{kHistory1 + 2, ODS_DISABLED, 20, 24, kRed},
          DrawCase{kSwatch, ODS_FOCUS | ODS_DISABLED, 17, 21, kYellow}}) {
        ExpectDrawn(dialog, c);
    }
    EXPECT_EQ(CloseWith(dialog, IDCANCEL), std::optional<int>(0));
}

TEST_F(SettingsDialogTest, OtherItemsGetNoFill) {
    const HWND dialog = Open();
    ASSERT_NE(dialog, nullptr);
    for (const UINT state : {0u, static_cast<UINT>(ODS_FOCUS)})
        ExpectDrawn(dialog, {IDOK, state, 20, 24, std::nullopt});
    EXPECT_EQ(CloseWith(dialog, IDCANCEL), std::optional<int>(0));
}

TEST_F(SettingsDialogTest, ClickedHistoryButtonPaintsItsFocus) {
    const HWND dialog = Open();
    ASSERT_NE(dialog, nullptr);
    Click(dialog, kHistory1 + 4);  // cyan; the button takes the focus and now shows green
    const auto button = PaintControl(dialog, kHistory1 + 4);
    ExpectItem(*button, kGreen, true);
    const auto other = PaintControl(dialog, kHistory1 + 5);
    ExpectItem(*other, kBlue, false);
    EXPECT_EQ(CloseWith(dialog, IDCANCEL), std::optional<int>(0));
}

}  // namespace
