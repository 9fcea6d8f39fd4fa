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
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "plugin.h"
#include "support/test_paths.h"

namespace {

// Window handles carry 32 significant bits; a 64-bit process may see the
// same window's handle sign-extended or not, depending on where it came from.
std::uint32_t WindowId(HWND window) { return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(window)); }

using testing_support::ModuleFileName;
using testing_support::ModulePath;

constexpr wchar_t kVendorKeyPath[] = L"Software\\Zodirudu_Revav";
constexpr wchar_t kKeyPath[] = L"Software\\Zodirudu_Revav\\Rorurera.spi";

constexpr UINT kSelectColor = WM_USER + 1;

constexpr int kAlphaRemove = 1002;
constexpr int kAlphaComposite = 1003;
constexpr int kChooseColor = 1004;
constexpr int kHistory1 = 1005;
constexpr int kSwatch = 1016;
constexpr int kExifOrientation = 1018;
constexpr int kHdrToneMap = 1019;
constexpr int kHdrSdrWhite = 1020;

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

using History = std::array<COLORREF, 8>;
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

std::string Narrow(const std::wstring& text) {
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string result(size > 0 ? size - 1 : 0, '\0');
    if (size > 1) ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, result.data(), size, nullptr, nullptr);
    return result;
}

// --- the settings key ---------------------------------------------------------

struct StoredValue {
    DWORD type = 0;
    std::vector<std::uint8_t> bytes;
    bool operator==(const StoredValue&) const = default;
};
using StoredValues = std::map<std::wstring, StoredValue>;

void PrintTo(const StoredValue& value, std::ostream* out) {
    *out << "type " << value.type << ", " << value.bytes.size() << " bytes";
}

bool KeyExists(const wchar_t* path) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    ::RegCloseKey(key);
    return true;
}

// Every value of the settings key; nothing when the key is absent.
std::optional<StoredValues> ReadSettingsKey() {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, kKeyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) return std::nullopt;
    StoredValues values;
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        DWORD nameLength = 256;
        DWORD type = 0;
        std::vector<std::uint8_t> bytes(4096);
        DWORD size = static_cast<DWORD>(bytes.size());
        if (::RegEnumValueW(key, index, name, &nameLength, nullptr, &type, bytes.data(), &size) != ERROR_SUCCESS) {
            break;
        }
        bytes.resize(size);
        values[name] = StoredValue{type, bytes};
    }
    ::RegCloseKey(key);
    return values;
}

void WriteValue(const wchar_t* name, DWORD type, const void* data, DWORD size) {
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, kKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                                &key, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(::RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
    ::RegCloseKey(key);
}

void WriteDword(const wchar_t* name, DWORD value) { WriteValue(name, REG_DWORD, &value, sizeof value); }

void WriteColors(const wchar_t* name, const std::vector<COLORREF>& colors) {
    WriteValue(name, REG_BINARY, colors.data(), static_cast<DWORD>(colors.size() * sizeof(COLORREF)));
}

void DeleteKey(const wchar_t* path) {
    ::RegDeleteTreeW(HKEY_CURRENT_USER, path);
    ::RegDeleteKeyW(HKEY_CURRENT_USER, path);
}

StoredValue DwordValue(DWORD value) {
    StoredValue stored{REG_DWORD, std::vector<std::uint8_t>(4)};
    std::memcpy(stored.bytes.data(), &value, 4);
    return stored;
}

template <std::size_t N>
StoredValue BinaryColors(const std::array<COLORREF, N>& colors) {
    StoredValue stored{REG_BINARY, std::vector<std::uint8_t>(N * 4)};
    std::memcpy(stored.bytes.data(), colors.data(), N * 4);
    return stored;
}

// What OK writes: exactly these five values.
StoredValues SavedSettings(const History& history, COLORREF color, DWORD alpha, DWORD toneMap = 1, DWORD sdrWhite = 0) {
    return {{L"ColorHistory", BinaryColors(history)},
            {L"Color", DwordValue(color)},
            {L"Alpha", DwordValue(alpha)},
            {L"HdrToneMap", DwordValue(toneMap)},
            {L"HdrSdrWhite", DwordValue(sdrWhite)}};
}

// Takes the settings key away for one test and puts back what was there.
class SettingsKeyGuard {
public:
    SettingsKeyGuard() : vendorExisted_(KeyExists(kVendorKeyPath)), saved_(ReadSettingsKey()) { DeleteKey(kKeyPath); }
    ~SettingsKeyGuard() {
        DeleteKey(kKeyPath);
        if (saved_) {
            HKEY key = nullptr;
            if (::RegCreateKeyExW(HKEY_CURRENT_USER, kKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                                  &key, nullptr) == ERROR_SUCCESS) {
                for (const auto& [name, value] : *saved_) {
                    ::RegSetValueExW(key, name.c_str(), 0, value.type, value.bytes.data(),
                                     static_cast<DWORD>(value.bytes.size()));
                }
                ::RegCloseKey(key);
            }
        } else if (!vendorExisted_) {
            ::RegDeleteKeyW(HKEY_CURRENT_USER, kVendorKeyPath);  // fails, as it should, when other keys live there
        }
    }
    SettingsKeyGuard(const SettingsKeyGuard&) = delete;
    SettingsKeyGuard& operator=(const SettingsKeyGuard&) = delete;

private:
    bool vendorExisted_;
    std::optional<StoredValues> saved_;
};

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
    DWORD ThreadId() const { return threadId_; }

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

// The colours that the swatch and the eight history buttons show on screen.
struct Shown {
    Color swatch;
    std::vector<Color> history;
};

Shown ShownColors(HWND dialog) {
    Shown shown{};
    const auto swatch = PaintControl(dialog, kSwatch);
    shown.swatch = Color{swatch->At(swatch->Width() / 2, swatch->Height() / 2)};
    EXPECT_EQ(SwatchMismatch(*swatch, shown.swatch.value), "") << "swatch";
    for (int i = 0; i < 8; ++i) {
        const auto button = PaintControl(dialog, kHistory1 + i);
        const COLORREF centre = button->At(button->Width() / 2, button->Height() / 2);
        shown.history.push_back(Color{centre});
    }
    return shown;
}

void ExpectShown(HWND dialog, COLORREF color, const History& history) {
    const Shown shown = ShownColors(dialog);
    EXPECT_EQ(shown.swatch, Color{color});
    EXPECT_EQ(shown.history, AsColors(history));
}

// --- fixtures -------------------------------------------------------------------

class ConfigurationTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(plugin_.Loaded()) << "error " << plugin_.LoadError();
        ASSERT_NE(plugin_.ConfigurationDlg, nullptr);
    }

    // Starts ConfigurationDlg(owner, function) on its own thread.
    std::unique_ptr<ConfigurationRun> Start(int function, bool withOwner = false) {
        const auto configure = plugin_.ConfigurationDlg;
        return std::make_unique<ConfigurationRun>(
            [configure, function](HWND owner) { return configure(owner, function); }, withOwner);
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

// --- the dialog template ----------------------------------------------------------

// Reads a DLGTEMPLATEEX field by field.
class TemplateReader {
public:
    TemplateReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool Overrun() const { return overrun_; }
    std::size_t Offset() const { return offset_; }
    std::size_t Size() const { return size_; }

    std::uint8_t Byte() { return static_cast<std::uint8_t>(Take(1)); }
    std::uint16_t Word() { return static_cast<std::uint16_t>(Take(2)); }
    std::uint32_t Dword() { return static_cast<std::uint32_t>(Take(4)); }
    std::int16_t Short() { return static_cast<std::int16_t>(Word()); }
    std::wstring String() {
        std::wstring text;
        for (wchar_t c = static_cast<wchar_t>(Word()); c != 0 && !overrun_; c = static_cast<wchar_t>(Word())) {
            text.push_back(c);
        }
        return text;
    }
    // A name or an ordinal: 0xFFFF and a number, or a string (empty when 0).
    struct NameOrOrdinal {
        std::uint16_t ordinal = 0;
        std::wstring name;
    };
    NameOrOrdinal NameOrNumber() {
        NameOrOrdinal result;
        const std::uint16_t first = Word();
        if (first == 0xFFFF) {
            result.ordinal = Word();
            return result;
        }
        if (first == 0) return result;
        result.name.push_back(static_cast<wchar_t>(first));
        result.name += String();
        return result;
    }
    void AlignTo4() { offset_ = (offset_ + 3) & ~static_cast<std::size_t>(3); }

private:
    std::uint32_t Take(std::size_t count) {
        if (offset_ + count > size_) {
            overrun_ = true;
            offset_ = size_;
            return 0;
        }
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < count; ++i) value |= static_cast<std::uint32_t>(data_[offset_ + i]) << (8 * i);
        offset_ += count;
        return value;
    }

    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t offset_ = 0;
    bool overrun_ = false;
};

struct ExpectedControl {
    DWORD id;
    WORD classAtom;  // 0x0080 Button, 0x0082 Static
    const wchar_t* text;
    DWORD style;
    short x, y, width, height;
};

constexpr WORD kButton = 0x0080;
constexpr WORD kStatic = 0x0082;
constexpr WORD kComboBox = 0x0085;
constexpr DWORD kNoId = 0xFFFFFFFF;
constexpr DWORD kChildVisible = WS_CHILD | WS_VISIBLE;
constexpr DWORD kHistoryStyle = kChildVisible | WS_TABSTOP | BS_OWNERDRAW;

const ExpectedControl kExpectedControls[19] = {
    {kNoId, kButton, L"アルファ情報の片づけ方", kChildVisible | WS_GROUP | BS_GROUPBOX, 6, 6, 198, 66},
    {1002, kButton, L"アルファ情報を除去(&R)", kChildVisible | BS_AUTORADIOBUTTON, 12, 18, 75, 10},
    {1003, kButton, L"指定した色と合成(&T)", kChildVisible | BS_AUTORADIOBUTTON, 12, 42, 73, 10},
    {1016, kButton, L"", kChildVisible | WS_DISABLED | BS_OWNERDRAW, 103, 37, 12, 12},
    {1004, kButton, L"色の設定(&C)", kChildVisible | WS_GROUP | WS_TABSTOP | BS_PUSHBUTTON, 115, 36, 82, 14},
    {1005, kButton, L"&1", kHistoryStyle, 117, 54, 10, 12},
    {1006, kButton, L"&2", kHistoryStyle, 127, 54, 10, 12},
    {1007, kButton, L"&3", kHistoryStyle, 137, 54, 10, 12},
    {1008, kButton, L"&4", kHistoryStyle, 147, 54, 10, 12},
    {1009, kButton, L"&5", kHistoryStyle, 157, 54, 10, 12},
    {1010, kButton, L"&6", kHistoryStyle, 167, 54, 10, 12},
    {1011, kButton, L"&7", kHistoryStyle, 177, 54, 10, 12},
    {1012, kButton, L"&8", kHistoryStyle, 187, 54, 10, 12},
    {kNoId, kStatic, L"履歴", kChildVisible | WS_GROUP | SS_LEFT, 102, 56, 15, 8},
    {1018, kButton, L"Exifの向き情報があれば使う(&E)", kChildVisible | WS_GROUP | WS_TABSTOP | BS_AUTOCHECKBOX, 6, 81,
     102, 10},
    {1019, kButton, L"HDRトーンマップ(&H)", kChildVisible | WS_GROUP | WS_TABSTOP | BS_AUTOCHECKBOX, 6, 81, 72, 10},
    {1020, kComboBox, L"", kChildVisible | WS_VSCROLL | WS_TABSTOP | CBS_DROPDOWNLIST, 78, 79, 32, 120},
    {IDOK, kButton, L"OK", kChildVisible | WS_GROUP | WS_TABSTOP | BS_DEFPUSHBUTTON, 114, 78, 42, 18},
    {IDCANCEL, kButton, L"キャンセル", kChildVisible | WS_TABSTOP | BS_PUSHBUTTON, 162, 78, 42, 18},
};

class DialogTemplateTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(plugin_.Loaded()) << "error " << plugin_.LoadError();
        const HRSRC resource = ::FindResourceExW(plugin_.Module(), RT_DIALOG, MAKEINTRESOURCEW(101),
                                                 MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT));
        ASSERT_NE(resource, nullptr) << "no dialog 101 in language 1041";
        const HGLOBAL loaded = ::LoadResource(plugin_.Module(), resource);
        ASSERT_NE(loaded, nullptr);
        data_ = static_cast<const std::uint8_t*>(::LockResource(loaded));
        size_ = ::SizeofResource(plugin_.Module(), resource);
        ASSERT_NE(data_, nullptr);
    }

    susie::Plugin plugin_{ModulePath()};
    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
};

TEST_F(DialogTemplateTest, HeaderIsTheJapaneseSettingsDialog) {
    TemplateReader reader(data_, size_);
    EXPECT_EQ(reader.Word(), 1);       // dlgVer
    EXPECT_EQ(reader.Word(), 0xFFFF);  // signature: an extended template
    EXPECT_EQ(reader.Dword(), 0u);     // help id
    EXPECT_EQ(reader.Dword(), 0u);     // extended style
    const DWORD style = reader.Dword();
    EXPECT_EQ(style, 0x80C800C8u);
    EXPECT_EQ(style, static_cast<DWORD>(WS_POPUP | WS_BORDER | WS_DLGFRAME | WS_SYSMENU | DS_SETFONT | DS_MODALFRAME |
                                        DS_FIXEDSYS));
    EXPECT_EQ(reader.Word(), 19);  // controls
    EXPECT_EQ(reader.Short(), 0);
    EXPECT_EQ(reader.Short(), 0);
    EXPECT_EQ(reader.Short(), 211);
    EXPECT_EQ(reader.Short(), 104);
    const auto menu = reader.NameOrNumber();
    EXPECT_EQ(menu.ordinal, 0);
    EXPECT_EQ(menu.name, L"");
    const auto windowClass = reader.NameOrNumber();
    EXPECT_EQ(windowClass.ordinal, 0);
    EXPECT_EQ(windowClass.name, L"");
    EXPECT_EQ(reader.String(), L"Dialog");
    EXPECT_EQ(reader.Word(), 9);    // point size
    EXPECT_EQ(reader.Word(), 400);  // weight
    EXPECT_EQ(reader.Byte(), 0);    // not italic
    EXPECT_EQ(reader.Byte(), 128);  // Shift JIS
    EXPECT_EQ(reader.String(), L"MS Shell Dlg");
    EXPECT_FALSE(reader.Overrun());
}

TEST_F(DialogTemplateTest, NineteenControlsInTabOrder) {
    TemplateReader reader(data_, size_);
    // Skip the header, read field by field in the other test.
    reader.Word(), reader.Word(), reader.Dword(), reader.Dword(), reader.Dword();
    ASSERT_EQ(reader.Word(), 19);
    for (int i = 0; i < 4; ++i) reader.Short();
    reader.NameOrNumber(), reader.NameOrNumber(), reader.String();
    reader.Word(), reader.Word(), reader.Byte(), reader.Byte(), reader.String();

    for (int index = 0; index < 19; ++index) {
        const ExpectedControl& expected = kExpectedControls[index];
        SCOPED_TRACE("control " + std::to_string(index + 1));
        reader.AlignTo4();
        EXPECT_EQ(reader.Dword(), 0u);  // help id
        EXPECT_EQ(reader.Dword(), 0u);  // extended style
        EXPECT_EQ(reader.Dword(), expected.style);
        EXPECT_EQ(reader.Short(), expected.x);
        EXPECT_EQ(reader.Short(), expected.y);
        EXPECT_EQ(reader.Short(), expected.width);
        EXPECT_EQ(reader.Short(), expected.height);
        EXPECT_EQ(reader.Dword(), expected.id);
        const auto windowClass = reader.NameOrNumber();
        EXPECT_EQ(windowClass.ordinal, expected.classAtom);
        EXPECT_EQ(windowClass.name, L"");
        const auto text = reader.NameOrNumber();
        EXPECT_EQ(text.ordinal, 0);
        EXPECT_EQ(Narrow(text.name), Narrow(expected.text));
        EXPECT_EQ(reader.Word(), 0);  // no creation data
        ASSERT_FALSE(reader.Overrun());
    }
    // Nothing follows the last control but padding.
    EXPECT_LE(size_ - reader.Offset(), 3u);
}

// --- ConfigurationDlg ---------------------------------------------------------------

thread_local int g_windowsCreated = 0;
LRESULT CALLBACK CountCreatedWindows(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND) ++g_windowsCreated;
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(ConfigurationTest, OtherFunctionsAreNotImplementedAndCreateNoWindow) {
    for (const int function : {2, -1, 3, 1000}) {
        SCOPED_TRACE("function " + std::to_string(function));
        std::atomic<int> created{-1};
        const auto configure = plugin_.ConfigurationDlg;
        ConfigurationRun run(
            [&created, configure, function](HWND owner) {
                const HHOOK hook = ::SetWindowsHookExW(WH_CBT, CountCreatedWindows, nullptr, ::GetCurrentThreadId());
                if (hook == nullptr) return 999;
                g_windowsCreated = 0;
                const int result = configure(owner, function);
                ::UnhookWindowsHookEx(hook);
                created = g_windowsCreated;
                return result;
            },
            true);
        EXPECT_EQ(run.Result(3000), std::optional<int>(-1));
        EXPECT_EQ(created.load(), 0);
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
    VolatileVendorKey() : existed_(KeyExists(kVendorKeyPath)) {
        DeleteKey(kVendorKeyPath);
        HKEY key = nullptr;
        created_ = ::RegCreateKeyExW(HKEY_CURRENT_USER, kVendorKeyPath, 0, nullptr, REG_OPTION_VOLATILE, KEY_WRITE,
                                     nullptr, &key, nullptr) == ERROR_SUCCESS;
        if (created_) ::RegCloseKey(key);
    }
    ~VolatileVendorKey() {
        DeleteKey(kVendorKeyPath);
        HKEY key = nullptr;
        if (existed_ && ::RegCreateKeyExW(HKEY_CURRENT_USER, kVendorKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                          KEY_WRITE, nullptr, &key, nullptr) == ERROR_SUCCESS) {
            ::RegCloseKey(key);
        }
    }
    VolatileVendorKey(const VolatileVendorKey&) = delete;
    VolatileVendorKey& operator=(const VolatileVendorKey&) = delete;
    bool Created() const { return created_; }

private:
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
    if (SubkeyCount(kVendorKeyPath) != 0) GTEST_SKIP() << "other keys live under the vendor key";
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

TEST_F(SettingsDialogTest, FirstUseShowsTheDefaults) {
    const HWND dialog = Open();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(Narrow(TextOf(dialog)), Narrow(ModuleFileName()));
    EXPECT_TRUE(Checked(dialog, kAlphaComposite));
    EXPECT_FALSE(Checked(dialog, kAlphaRemove));
    EXPECT_TRUE(Enabled(dialog, kChooseColor));
    for (int i = 0; i < 8; ++i) EXPECT_TRUE(Enabled(dialog, kHistory1 + i)) << "history button " << i + 1;
    EXPECT_FALSE(Enabled(dialog, kSwatch));
    ASSERT_NE(::GetDlgItem(dialog, kExifOrientation), nullptr);
    EXPECT_FALSE(::IsWindowVisible(::GetDlgItem(dialog, kExifOrientation)));
    EXPECT_TRUE(::IsWindowVisible(::GetDlgItem(dialog, kHdrToneMap)));
    EXPECT_TRUE(Checked(dialog, kHdrToneMap));
    EXPECT_TRUE(::IsWindowVisible(::GetDlgItem(dialog, kChooseColor)));
    EXPECT_EQ(Narrow(TextOf(::GetDlgItem(dialog, kAlphaRemove))), Narrow(L"アルファ情報を除去(&R)"));
    ExpectShown(dialog, kWhite, kDefaultHistory);

    EXPECT_EQ(CloseWith(dialog, IDCANCEL), std::optional<int>(0));
    EXPECT_EQ(ReadSettingsKey(), std::nullopt) << "opening and cancelling writes nothing";
}

TEST_F(SettingsDialogTest, HistoryButtonMakesItsColourCurrentAndOkStoresIt) {
    const HWND dialog = Open();
    ASSERT_NE(dialog, nullptr);
    Click(dialog, kHistory1 + 1);  // red
    const History expected = {kWhite, kGrey, kYellow, kGreen, kCyan, kBlue, kMagenta, kBlack};
    ExpectShown(dialog, kRed, expected);

    EXPECT_EQ(CloseWith(dialog, IDOK), std::optional<int>(0));
    EXPECT_EQ(ReadSettingsKey(), std::optional(SavedSettings(expected, kRed, 1)));
}

TEST_F(SettingsDialogTest, FirstEntryTradesPlacesWithTheCurrentColour) {
    const HWND dialog = Open();
    ASSERT_NE(dialog, nullptr);
    Click(dialog, kHistory1);  // grey
    ExpectShown(dialog, kGrey, {kWhite, kRed, kYellow, kGreen, kCyan, kBlue, kMagenta, kBlack});
    Click(dialog, kHistory1);  // white again
    ExpectShown(dialog, kWhite, kDefaultHistory);
    EXPECT_EQ(CloseWith(dialog, IDOK), std::optional<int>(0));
    EXPECT_EQ(ReadSettingsKey(), std::optional(SavedSettings(kDefaultHistory, kWhite, 1)));
}

TEST_F(SettingsDialogTest, NewColourGoesInAndTheOldestFallsOff) {
    const HWND dialog = Open();
    ASSERT_NE(dialog, nullptr);
    ::SendMessageW(dialog, kSelectColor, 0x563412, 0);
    const History expected = {kWhite, kGrey, kRed, kYellow, kGreen, kCyan, kBlue, kMagenta};
    ExpectShown(dialog, 0x563412, expected);
    ::SendMessageW(dialog, kSelectColor, 0x010101, 0);
    const History twice = {0x563412, kWhite, kGrey, kRed, kYellow, kGreen, kCyan, kBlue};
    ExpectShown(dialog, 0x010101, twice);
    EXPECT_EQ(CloseWith(dialog, IDOK), std::optional<int>(0));
    EXPECT_EQ(ReadSettingsKey(), std::optional(SavedSettings(twice, 0x010101, 1)));
}

TEST_F(SettingsDialogTest, ChoosingTheCurrentColourAgainChangesNothing) {
    WriteDword(L"Color", kRed);  // red is also history entry 2
    const HWND dialog = Open();
    ASSERT_NE(dialog, nullptr);
    Click(dialog, kHistory1 + 1);
    ::SendMessageW(dialog, kSelectColor, kRed, 0);
    ExpectShown(dialog, kRed, kDefaultHistory);
    EXPECT_EQ(CloseWith(dialog, IDOK), std::optional<int>(0));
    EXPECT_EQ(ReadSettingsKey(), std::optional(SavedSettings(kDefaultHistory, kRed, 1)));
}

TEST_F(SettingsDialogTest, StoredDuplicatesStayAndASelectionTakesOnlyTheFirstMatch) {
    constexpr COLORREF a = 0x0000AA, b = 0x00BB00, c = 0xCC0000, d = 0x0D0D0D, e = 0x0E0E0E, current = 0x111111;
    const History stored = {a, b, a, current, c, b, d, e};
    WriteColors(L"ColorHistory", {stored.begin(), stored.end()});
    WriteDword(L"Color", current);
    const HWND dialog = Open();
    ASSERT_NE(dialog, nullptr);
    ExpectShown(dialog, current, stored);

    Click(dialog, kHistory1 + 1);  // b: the first b leaves, the second stays
    const History afterB = {current, a, a, current, c, b, d, e};
    ExpectShown(dialog, b, afterB);
    ::SendMessageW(dialog, kSelectColor, a, 0);  // a: found at 1, the copy at 2 stays
    const History afterA = {b, current, a, current, c, b, d, e};
    ExpectShown(dialog, a, afterA);

    EXPECT_EQ(CloseWith(dialog, IDOK), std::optional<int>(0));
    EXPECT_EQ(ReadSettingsKey(), std::optional(SavedSettings(afterA, a, 1)));
}

TEST_F(SettingsDialogTest, ShortStoredHistoryReplacesOnlyItsLeadingEntries) {
    WriteColors(L"ColorHistory", {0x000001, 0x000002, 0x000003});
    const HWND dialog = Open();
    ASSERT_NE(dialog, nullptr);
    const History shown = {0x000001, 0x000002, 0x000003, kGreen, kCyan, kBlue, kMagenta, kBlack};
    ExpectShown(dialog, kWhite, shown);
    EXPECT_EQ(CloseWith(dialog, IDOK), std::optional<int>(0));
    EXPECT_EQ(ReadSettingsKey(), std::optional(SavedSettings(shown, kWhite, 1)));
}

TEST_F(SettingsDialogTest, RemoveChoiceDisablesTheColourChoiceAndOkStoresZero) {
    const HWND dialog = Open();
    ASSERT_NE(dialog, nullptr);
    Click(dialog, kAlphaRemove);
    EXPECT_TRUE(Checked(dialog, kAlphaRemove));
    EXPECT_FALSE(Checked(dialog, kAlphaComposite));
    EXPECT_FALSE(Enabled(dialog, kChooseColor));
    for (int i = 0; i < 8; ++i) EXPECT_FALSE(Enabled(dialog, kHistory1 + i)) << "history button " << i + 1;
    EXPECT_FALSE(Enabled(dialog, kSwatch));
    ExpectShown(dialog, kWhite, kDefaultHistory);  // the colours stay on show

    EXPECT_EQ(CloseWith(dialog, IDOK), std::optional<int>(0));
    EXPECT_EQ(ReadSettingsKey(), std::optional(SavedSettings(kDefaultHistory, kWhite, 0)));
}

TEST_F(SettingsDialogTest, StoredZeroOpensWithTheRemoveChoice) {
    WriteDword(L"Alpha", 0);
    WriteDword(L"Color", kBlue);
    const HWND dialog = Open();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(Checked(dialog, kAlphaRemove));
    EXPECT_FALSE(Checked(dialog, kAlphaComposite));
    EXPECT_FALSE(Enabled(dialog, kChooseColor));
    for (int i = 0; i < 8; ++i) EXPECT_FALSE(Enabled(dialog, kHistory1 + i)) << "history button " << i + 1;
    ExpectShown(dialog, kBlue, kDefaultHistory);

    Click(dialog, kAlphaComposite);
    EXPECT_TRUE(Enabled(dialog, kChooseColor));
    for (int i = 0; i < 8; ++i) EXPECT_TRUE(Enabled(dialog, kHistory1 + i)) << "history button " << i + 1;
    EXPECT_FALSE(Enabled(dialog, kSwatch));
    EXPECT_EQ(CloseWith(dialog, IDOK), std::optional<int>(0));
    EXPECT_EQ(ReadSettingsKey(), std::optional(SavedSettings(kDefaultHistory, kBlue, 1)));
}

TEST_F(SettingsDialogTest, AnyOtherStoredAlphaOpensWithTheCompositeChoiceAndOkWritesOne) {
    WriteDword(L"Alpha", 5);
    const HWND dialog = Open();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(Checked(dialog, kAlphaComposite));
    EXPECT_FALSE(Checked(dialog, kAlphaRemove));
    EXPECT_TRUE(Enabled(dialog, kChooseColor));
    EXPECT_EQ(CloseWith(dialog, IDOK), std::optional<int>(0));
    EXPECT_EQ(ReadSettingsKey(), std::optional(SavedSettings(kDefaultHistory, kWhite, 1)));
}

TEST_F(SettingsDialogTest, ZeroOfTheWrongTypeOpensWithTheCompositeChoice) {
    const DWORD zero = 0;
    WriteValue(L"Alpha", REG_BINARY, &zero, sizeof zero);
    const HWND dialog = Open();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(Checked(dialog, kAlphaComposite));
    EXPECT_FALSE(Checked(dialog, kAlphaRemove));
    EXPECT_EQ(CloseWith(dialog, IDCANCEL), std::optional<int>(0));
}

TEST_F(SettingsDialogTest, CancelWritesNothing) {
    const History stored = {0x000001, 0x000002, 0x000003, 0x000004, 0x000005, 0x000006, 0x000007, 0x000008};
    WriteColors(L"ColorHistory", {stored.begin(), stored.end()});
    WriteDword(L"Color", kGreen);
    WriteDword(L"Alpha", 0);
    const std::optional<StoredValues> before = ReadSettingsKey();
    ASSERT_TRUE(before.has_value());

    const HWND dialog = Open();
    ASSERT_NE(dialog, nullptr);
    Click(dialog, kAlphaComposite);
    Click(dialog, kHistory1 + 3);
    ::SendMessageW(dialog, kSelectColor, 0x654321, 0);
    Click(dialog, kAlphaRemove);
    EXPECT_EQ(CloseWith(dialog, IDCANCEL), std::optional<int>(0));
    EXPECT_EQ(ReadSettingsKey(), before);
}

// The tone-mapping box: read from "HdrToneMap" (only a valid 0 leaves it
// clear), written by OK whatever the alpha choice, untouched by Cancel. The
// SDR white list beside it: "自動" and eight levels in nits, the stored level
// selected ("自動" for none or one outside 80 .. 480; an unlisted one gets
// an item of its own), usable only while the box is checked.
TEST_F(SettingsDialogTest, ToneMapBoxAndSdrWhiteListReadSaveAndCancel) {
    const DWORD zero = 0;
    const std::vector<std::string> kItems = {Narrow(L"自動"), "80", "120", "160", "200", "240", "300", "400", "480"};
    const struct {
        const char* name;
        DWORD storedType;  // REG_NONE: nothing stored
        bool shownChecked;
        int alphaButton;  // clicked before the box
        std::optional<DWORD> storedWhite;
        std::string shownWhite;
        int chosenItem;  // selected before closing, -1 none
        int closeWith;
        std::optional<std::pair<DWORD, DWORD>> saved;  // what OK writes; nullopt: the key stays as it was
    } kCases[] = {
        {"absent, cleared, OK", REG_NONE, true, kAlphaRemove, std::nullopt, kItems[0], 8, IDOK, {{0, 480}}},
        {"stored 0, checked, OK", REG_DWORD, false, kAlphaComposite, 300, "300", -1, IDOK, {{1, 300}}},
        {"0 of the wrong type, cleared, OK", REG_BINARY, true, kAlphaComposite, 250, "250", -1, IDOK, {{0, 250}}},
        {"stored 0, checked, Cancel", REG_DWORD, false, kAlphaRemove, 500, kItems[0], 2, IDCANCEL, std::nullopt},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        DeleteKey(kKeyPath);
        if (c.storedType != REG_NONE) WriteValue(L"HdrToneMap", c.storedType, &zero, sizeof zero);
        if (c.storedWhite) WriteDword(L"HdrSdrWhite", *c.storedWhite);
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
        if (c.chosenItem >= 0) ::SendMessageW(list, CB_SETCURSEL, c.chosenItem, 0);
        EXPECT_EQ(CloseWith(dialog, c.closeWith), std::optional<int>(0));
        if (c.saved) {
            EXPECT_EQ(ReadSettingsKey(),
                      std::optional(SavedSettings(kDefaultHistory, kWhite, c.alphaButton == kAlphaRemove ? 0 : 1,
                                                  c.saved->first, c.saved->second)));
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
    WriteDword(L"Color", kMagenta);
    WriteColors(L"CustomColors", {0x000101, 0x000202, 0x000303});
    {
        std::lock_guard lock(g_startsLock);
        g_starts.clear();
        g_settingsDialog = nullptr;
    }
    const auto configure = plugin_.ConfigurationDlg;
    run_ = std::make_unique<ConfigurationRun>(
        [configure](HWND owner) {
            const HHOOK hook = ::SetWindowsHookExW(WH_CALLWNDPROC, RecordDialogStarts, nullptr, ::GetCurrentThreadId());
            if (hook == nullptr) return 999;
            const int result = configure(owner, 1);
            ::UnhookWindowsHookEx(hook);
            return result;
        },
        false);
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
    WriteDword(L"Color", 0x336699);
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

TEST_F(SettingsDialogTest, FocusedItemGetsADottedOutlineAndOtherStatesDrawAlike) {
    const HWND dialog = Open();
    ASSERT_NE(dialog, nullptr);
    ::SendMessageW(dialog, kSelectColor, kYellow, 0);  // history: white, grey, red, ...
    {
        const Canvas canvas(20, 24, kUntouched);
        ASSERT_TRUE(canvas.Valid());
        DrawItem(dialog, kHistory1 + 2, ODS_FOCUS, canvas);
        ExpectItem(canvas, kRed, true);
    }
    for (const UINT state : {0u, static_cast<UINT>(ODS_SELECTED), static_cast<UINT>(ODS_DISABLED)}) {
        SCOPED_TRACE("state " + std::to_string(state));
        const Canvas canvas(20, 24, kUntouched);
        DrawItem(dialog, kHistory1 + 2, state, canvas);
        ExpectItem(canvas, kRed, false);
    }
    {
        const Canvas canvas(17, 21, kUntouched);
        DrawItem(dialog, kSwatch, ODS_FOCUS | ODS_DISABLED, canvas);
        ExpectItem(canvas, kYellow, true);
    }
    EXPECT_EQ(CloseWith(dialog, IDCANCEL), std::optional<int>(0));
}

TEST_F(SettingsDialogTest, OtherItemsGetNoFill) {
    const HWND dialog = Open();
    ASSERT_NE(dialog, nullptr);
    {
        const Canvas canvas(20, 24, kUntouched);
        DrawItem(dialog, IDOK, 0, canvas);
        ExpectItem(canvas, std::nullopt, false);
    }
    {
        const Canvas canvas(20, 24, kUntouched);
        DrawItem(dialog, IDOK, ODS_FOCUS, canvas);
        ExpectItem(canvas, std::nullopt, true);
    }
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
