// What the windows have in common: controls described as tables of twips
// rectangles and turned into real controls by one loop, the form font, and
// the keyboard handling a plain (non-dialog) window needs to behave like a
// dialog.
#pragma once

#include <windows.h>

#include <cstddef>

#include "platform/Platform.h"

namespace tovrane::layout {

enum class Kind {
    Frame,             // group box; takes no focus
    Label,             // wrapping static text on the window's colour
    TransparentLabel,  // wrapping static text that lets the window show through
    LinkLabel,         // transparent, blue and underlined; clicks reach the window
    Button,
    CheckBox,       // ticks itself on a click
    DropDownCombo,  // editable field with a drop-down list
};

struct ControlSpec {
    const wchar_t* name;  // the control's name in the handlers
    Kind kind;
    int id;
    int container;                 // id of the frame it sits in; 0 for the window itself
    int left, top, width, height;  // twips, from the container's top-left corner
    int tabIndex;
    const wchar_t* caption;
};

struct FormSpec {
    const wchar_t* className;
    const wchar_t* title;
    int clientWidth, clientHeight;  // twips
    const ControlSpec* controls;
    std::size_t controlCount;
};

// The most items a drive list can hold: the placeholder and the tokens of
// 26 drive letters less A:, with an empty token at each end.
constexpr int kMaxListItems = 28;

// Twips to whole pixels, rounded to the nearest.
int PixelsX(int twips, TwipsPerPixel scale);
int PixelsY(int twips, TwipsPerPixel scale);

// `face` at `points` in the GB2312 character set, for the screen's dpi; null
// when the system could make no such font.
HFONT CreateChineseFont(const wchar_t* face, int points);

// 宋体 9 pt in the GB2312 character set, for every control; the link font is
// the same, underlined.
HFONT FormFont();
HFONT LinkFont();

// Registers the class of a form, once: the button-face background, the exe's
// icon. True when the class is registered.
bool RegisterFormClass(HINSTANCE instance, const wchar_t* className, WNDPROC windowProc);

// Creates the form hidden, with the client size of the table, centred in the
// work area. Its controls are made while it handles WM_CREATE (CreateControls).
// A form with an owner has no taskbar button of its own.
HWND CreateForm(HINSTANCE instance, const FormSpec& form, TwipsPerPixel scale,
                HWND owner = nullptr);

// Makes the table's controls as children of `window`, focusable ones in tab
// order, with frames and labels below everything else in the Z-order.
void CreateControls(HWND window, const FormSpec& form, TwipsPerPixel scale);

// The messages every form answers alike, before its own handlers:
// - WM_CTLCOLORSTATIC: transparent and link labels are drawn on a hollow
//   brush (link text in blue);
// - WM_ACTIVATE: as a dialog does, the focus goes back to the control that
//   had it (`lastFocus`, kept up to date here), where a plain window would
//   keep it itself;
// - WM_COMMAND IDOK: Enter, which IsDialogMessage turns into IDOK in a plain
//   window, presses the push button that has the focus.
// True when handled, with the window procedure's answer in `result`.
bool HandleCommonMessage(const FormSpec& form, HWND window, UINT message, WPARAM wParam,
                         LPARAM lParam, HWND& lastFocus, LRESULT& result);

}  // namespace tovrane::layout
