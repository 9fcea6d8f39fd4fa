#include "settings/settings_dialog.h"

#include <commdlg.h>

#include <algorithm>
#include <memory>
#include <optional>

#include "common/module_identity.h"
#include "common/owners.h"
#include "settings/resource.h"

namespace rorurera {

bool SettingsDialogState::Select(COLORREF chosen) noexcept {
    if (chosen == color) return false;
    // The entries before the first match (or all but the last entry when the
    // colour is new) move back by one and overwrite it.
    const auto found = std::find(history.begin(), history.end(), chosen);
    const auto overwritten = found != history.end() ? found : history.end() - 1;
    std::move_backward(history.begin(), overwritten, overwritten + 1);
    history[0] = color;
    color = chosen;
    return true;
}

namespace {

constexpr int kHistoryButtons = static_cast<int>(std::tuple_size_v<ColorHistory>);
static_assert(IDC_HISTORY8 - IDC_HISTORY1 + 1 == kHistoryButtons);

SettingsDialogState* StateOf(HWND dialog) noexcept {
    return reinterpret_cast<SettingsDialogState*>(::GetWindowLongPtrW(dialog, GWLP_USERDATA));
}

// The colour button and the history row are usable only while pictures are
// blended over the colour; the swatch stays disabled and keeps its colour.
void EnableColorChoice(HWND dialog, bool enable) noexcept {
    ::EnableWindow(::GetDlgItem(dialog, IDC_CHOOSE_COLOR), enable);
    for (int id = IDC_HISTORY1; id <= IDC_HISTORY8; ++id) ::EnableWindow(::GetDlgItem(dialog, id), enable);
}

// The SDR white list: "自動" (found in each picture), then nits.
constexpr DWORD kSdrWhiteChoices[] = {0, 80, 120, 160, 200, 240, 300, 400, 480};

void AddSdrWhiteItem(HWND list, DWORD nits) noexcept {
    wchar_t text[16];
    if (nits == 0) {
        ::lstrcpynW(text, L"\u81EA\u52D5", 16);  // "自動", automatic
    } else {
        ::wsprintfW(text, L"%lu", static_cast<unsigned long>(nits));
    }
    const LRESULT index = ::SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    if (index >= 0) ::SendMessageW(list, CB_SETITEMDATA, static_cast<WPARAM>(index), nits);
}

// Fills the list and selects `nits`. A stored level of 80 to 480 nits that
// is not in the list gets an item of its own after the listed ones, so that
// OK keeps it.
void FillSdrWhiteList(HWND dialog, DWORD nits) noexcept {
    const HWND list = ::GetDlgItem(dialog, IDC_HDR_SDRWHITE);
    int selected = -1;
    int index = 0;
    for (const DWORD choice : kSdrWhiteChoices) {
        AddSdrWhiteItem(list, choice);
        if (choice == nits) selected = index;
        ++index;
    }
    if (selected < 0) {
        AddSdrWhiteItem(list, nits);
        selected = index;
    }
    ::SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
}

DWORD SelectedSdrWhite(HWND dialog) noexcept {
    const LRESULT index = ::SendDlgItemMessageW(dialog, IDC_HDR_SDRWHITE, CB_GETCURSEL, 0, 0);
    if (index < 0) return 0;
    const LRESULT nits = ::SendDlgItemMessageW(dialog, IDC_HDR_SDRWHITE, CB_GETITEMDATA, static_cast<WPARAM>(index), 0);
    return nits == CB_ERR ? 0 : static_cast<DWORD>(nits);
}

// The SDR white matters only while tone mapping is on.
void EnableSdrWhite(HWND dialog) noexcept {
    ::EnableWindow(::GetDlgItem(dialog, IDC_HDR_SDRWHITE),
                   ::IsDlgButtonChecked(dialog, IDC_HDR_TONEMAP) == BST_CHECKED);
}

INT_PTR OnInitDialog(HWND dialog) {
    ::SetWindowLongPtrW(dialog, GWLP_USERDATA,
                        reinterpret_cast<LONG_PTR>(std::make_unique<SettingsDialogState>().release()));
    SettingsDialogState& state = *StateOf(dialog);
    const DialogSettings settings = LoadDialogSettings(kSettingsKeyPath);
    state.history = settings.history;
    state.color = settings.color;
    // Only a stored 0 means removal; any other number, or none, blends.
    const int choice = settings.alphaRead && settings.alpha == static_cast<DWORD>(AlphaMode::Discard)
                           ? IDC_ALPHA_REMOVE
                           : IDC_ALPHA_COMPOSITE;
    ::CheckRadioButton(dialog, IDC_ALPHA_REMOVE, IDC_ALPHA_COMPOSITE, choice);
    ::SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(choice, 0), 0);

    ::CheckDlgButton(dialog, IDC_HDR_TONEMAP, settings.hdr.toneMap ? BST_CHECKED : BST_UNCHECKED);
    FillSdrWhiteList(dialog, settings.hdr.sdrWhiteNits);
    EnableSdrWhite(dialog);
    ::CheckDlgButton(dialog, IDC_COLOR_PROFILE, settings.colorProfile ? BST_CHECKED : BST_UNCHECKED);

    // The orientation check box has no setting behind it; the tone-mapping
    // box takes its place.
    ::ShowWindow(::GetDlgItem(dialog, IDC_EXIF_ORIENTATION), SW_HIDE);
    ::SetWindowTextW(dialog, kModuleFileName);
    return TRUE;
}

INT_PTR OnOk(HWND dialog, const SettingsDialogState& state) {
    const AlphaMode alpha =
        ::IsDlgButtonChecked(dialog, IDC_ALPHA_REMOVE) == BST_CHECKED ? AlphaMode::Discard : AlphaMode::Composite;
    HdrSettings hdr;
    hdr.toneMap = ::IsDlgButtonChecked(dialog, IDC_HDR_TONEMAP) == BST_CHECKED;
    hdr.sdrWhiteNits = SelectedSdrWhite(dialog);
    const bool colorProfile = ::IsDlgButtonChecked(dialog, IDC_COLOR_PROFILE) == BST_CHECKED;
    if (!SaveDialogSettings(kSettingsKeyPath, state.history, state.color, static_cast<DWORD>(alpha), hdr,
                            colorProfile)) {
        ::EndDialog(dialog, -1);
        return FALSE;
    }
    ::EndDialog(dialog, IDOK);
    return TRUE;
}

// The system colour picker, starting from the current colour. Its sixteen
// custom colours come from the registry and go back there after every use,
// confirmed or cancelled.
INT_PTR OnChooseColor(HWND dialog, const SettingsDialogState& state) {
    CustomColors custom = LoadCustomColors(kSettingsKeyPath);

    CHOOSECOLORW choose{};
    choose.lStructSize = sizeof(choose);
    choose.hwndOwner = dialog;
    choose.rgbResult = state.color;
    choose.lpCustColors = custom.data();
    choose.Flags = CC_RGBINIT;
    if (::ChooseColorW(&choose)) ::SendMessageW(dialog, UM_SELECTCOLOR, choose.rgbResult, 0);

    SaveCustomColors(kSettingsKeyPath, custom);
    return TRUE;
}

INT_PTR OnCommand(HWND dialog, const SettingsDialogState& state, WPARAM wParam) {
    if (HIWORD(wParam) != 0) return FALSE;
    const int id = LOWORD(wParam);
    switch (id) {
    case IDOK: return OnOk(dialog, state);
    case IDCANCEL: ::EndDialog(dialog, IDCANCEL); return TRUE;
    case IDC_ALPHA_REMOVE:
    case IDC_ALPHA_COMPOSITE: EnableColorChoice(dialog, id == IDC_ALPHA_COMPOSITE); return FALSE;
    case IDC_HDR_TONEMAP: EnableSdrWhite(dialog); return FALSE;
    case IDC_CHOOSE_COLOR: return OnChooseColor(dialog, state);
    default:
        if (id >= IDC_HISTORY1 && id <= IDC_HISTORY8) {
            ::SendMessageW(dialog, UM_SELECTCOLOR, state.history[id - IDC_HISTORY1], 0);
            return TRUE;
        }
        return FALSE;
    }
}

INT_PTR OnSelectColor(HWND dialog, SettingsDialogState& state, COLORREF chosen) {
    if (!state.Select(chosen)) return TRUE;
    ::InvalidateRect(::GetDlgItem(dialog, IDC_COLOR_SWATCH), nullptr, FALSE);
    for (int id = IDC_HISTORY1; id <= IDC_HISTORY8; ++id) ::InvalidateRect(::GetDlgItem(dialog, id), nullptr, FALSE);
    return TRUE;
}

// The swatch shows the current colour, history button i its entry i, each as
// a rectangle framed in the button shadow colour; the focused one gets a
// dotted outline inside. Pushed, disabled and selected states look the same.
INT_PTR OnDrawItem(const SettingsDialogState& state, const DRAWITEMSTRUCT* item) {
    if (item == nullptr) return FALSE;
    const HDC dc = item->hDC;
    const RECT& r = item->rcItem;

    std::optional<COLORREF> fill;
    if (item->CtlID == IDC_COLOR_SWATCH) {
        fill = state.color;
    } else if (item->CtlID >= IDC_HISTORY1 && item->CtlID <= IDC_HISTORY8) {
        fill = state.history[item->CtlID - IDC_HISTORY1];
    }

    UniqueBrush brush;
    if (fill) brush.reset(::CreateSolidBrush(*fill));
    if (brush) {
        const UniquePen frame(::CreatePen(PS_SOLID, 1, ::GetSysColor(COLOR_BTNSHADOW)));
        const HGDIOBJ previousPen = frame ? ::SelectObject(dc, frame.get()) : nullptr;
        const HGDIOBJ previousBrush = ::SelectObject(dc, brush.get());
        ::Rectangle(dc, r.left, r.top, r.right, r.bottom);
        ::SelectObject(dc, previousBrush);
        if (previousPen != nullptr) ::SelectObject(dc, previousPen);
    }

    if (item->itemState & ODS_FOCUS) {
        const UniquePen dotted(::CreatePen(PS_DOT, 1, ::GetSysColor(COLOR_BTNTEXT)));
        if (dotted) {
            const HGDIOBJ previousPen = ::SelectObject(dc, dotted.get());
            ::MoveToEx(dc, r.left + 3, r.top + 3, nullptr);
            ::LineTo(dc, r.right - 4, r.top + 3);
            ::LineTo(dc, r.right - 4, r.bottom - 4);
            ::LineTo(dc, r.left + 3, r.bottom - 4);
            ::LineTo(dc, r.left + 3, r.top + 3);
            ::SelectObject(dc, previousPen);
        }
    }
    return TRUE;
}

void FreeState(HWND dialog) noexcept {
    delete StateOf(dialog);
    ::SetWindowLongPtrW(dialog, GWLP_USERDATA, 0);
}

}  // namespace

INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    // A C++ exception cannot unwind through the window manager's frames: any
    // failure inside ends the dialog with -1 instead.
    try {
        if (message == WM_INITDIALOG) return OnInitDialog(dialog);
        SettingsDialogState* state = StateOf(dialog);
        if (state == nullptr) return FALSE;
        switch (message) {
        case WM_COMMAND: return OnCommand(dialog, *state, wParam);
        case UM_SELECTCOLOR: return OnSelectColor(dialog, *state, static_cast<COLORREF>(wParam));
        case WM_DRAWITEM: return OnDrawItem(*state, reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        case WM_DESTROY: FreeState(dialog); return FALSE;
        default: return FALSE;
        }
    } catch (...) {
        ::EndDialog(dialog, -1);
        return FALSE;
    }
}

}  // namespace rorurera
