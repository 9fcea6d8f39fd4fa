#pragma once

// The settings dialog (template IDD_SETTINGS): the alpha handling, the
// background colour with its colour picker, a row of eight recently used
// colours, the HDR tone-mapping box and beside it the list of SDR white
// levels ("自動" or 80 to 480 nits, usable while the box is checked), and
// below them the colour-profile box. It reads and writes the registry only
// through the settings store, and only when it opens, when the colour picker
// is used and on OK; when OK cannot save the settings, the dialog ends with
// -1.

#include <windows.h>

#include "settings/settings_store.h"

namespace rorurera {

// Sent to the dialog to make wParam (a COLORREF) the current colour; lParam 0.
inline constexpr UINT UM_SELECTCOLOR = WM_USER + 1;

// What one open dialog edits besides its controls' own state (the alpha
// choice, the two check boxes and the SDR white). Created at WM_INITDIALOG,
// kept as the window's user data, freed at WM_DESTROY.
struct SettingsDialogState {
    COLORREF color = kDefaultColor;
    ColorHistory history = kDefaultColorHistory;  // history button i shows entry i

    // Makes `chosen` the current colour. The colour it replaces goes to the
    // front of the history; a chosen colour found in the history leaves it
    // (its first occurrence only), otherwise the oldest entry falls off.
    // Choosing the current colour again changes nothing; returns whether
    // anything changed.
    bool Select(COLORREF chosen) noexcept;
};

// The dialog procedure; no exception leaves it.
INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace rorurera
