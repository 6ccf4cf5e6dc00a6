#include "ui/Layout.h"

#include <commctrl.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "ui/Resource.h"

namespace tovrane::layout {

namespace {

// Sizable, with a title bar, a control box and a minimize button, but no
// maximize button: the controls keep their places, so a bigger window would
// show nothing more.
constexpr DWORD kFormStyle =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX;
constexpr DWORD kFormExStyle = 0;

struct WindowKind {
    const wchar_t* className;
    DWORD style;
};

// Every control clips its painting to the parts that siblings above it leave
// free: a label that overlaps a combo box must never paint over it.
WindowKind WindowKindOf(Kind kind) {
    switch (kind) {
        case Kind::Frame:
            return {L"BUTTON", BS_GROUPBOX};
        case Kind::Label:
        case Kind::TransparentLabel:
            return {L"STATIC", SS_LEFT};
        case Kind::LinkLabel:
            return {L"STATIC", SS_LEFT | SS_NOTIFY};
        case Kind::Button:
            return {L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP};
        case Kind::CheckBox:
            return {L"BUTTON", BS_AUTOCHECKBOX | WS_TABSTOP | WS_GROUP};
        case Kind::DropDownCombo:
            return {L"COMBOBOX",
                    CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP | WS_GROUP};
    }
    return {L"STATIC", SS_LEFT};
}

bool IsLabel(Kind kind) {
    return kind == Kind::Label || kind == Kind::TransparentLabel || kind == Kind::LinkLabel;
}

const ControlSpec* FindSpec(const FormSpec& form, int id) {
    for (std::size_t i = 0; i < form.controlCount; ++i) {
        if (form.controls[i].id == id) {
            return &form.controls[i];
        }
    }
    return nullptr;
}

// A control's top-left corner in the window's client area, in twips: its own
// offset plus those of the frames it sits in.
POINT WindowOffset(const FormSpec& form, const ControlSpec& control) {
    POINT at = {control.left, control.top};
    const ControlSpec* frame = FindSpec(form, control.container);
    for (int depth = 0; frame && depth < 8; ++depth) {
        at.x += frame->left;
        at.y += frame->top;
        frame = FindSpec(form, frame->container);
    }
    return at;
}

int Round(double value) {
    return static_cast<int>(std::lround(value));
}

// The closed field must come out at the table's height, whatever height the
// font gives it; the dropped list gets room for every item a drive list can
// hold. CB_SETMINVISIBLE matters only to version 6 combo boxes, which size
// their list by it; older ones take the window height and ignore the message.
void FitDropDown(HWND combo, int closedHeight) {
    // A drop-down combo box takes the height it is given as that of the
    // dropped list and sizes its closed box itself, from the font.
    RECT box;
    GetWindowRect(combo, &box);
    const int item = static_cast<int>(SendMessageW(combo, CB_GETITEMHEIGHT, 0, 0));
    SetWindowPos(combo, nullptr, 0, 0, box.right - box.left,
                 closedHeight + kMaxListItems * item + 2 * GetSystemMetrics(SM_CYBORDER),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageW(combo, CB_SETMINVISIBLE, kMaxListItems, 0);

    auto closedNow = [combo] {
        RECT closed;
        GetWindowRect(combo, &closed);
        return static_cast<int>(closed.bottom - closed.top);
    };
    if (closedNow() == closedHeight) {
        return;
    }
    // The field's height is set in one unit and read back in another (Wine
    // answers with two pixels of padding that Windows leaves out), so the
    // value read is set first and the closed height it gives measured: field
    // and closed box differ by a constant, and the second setting lands.
    const int field = static_cast<int>(SendMessageW(combo, CB_GETITEMHEIGHT, WPARAM(-1), 0));
    SendMessageW(combo, CB_SETITEMHEIGHT, WPARAM(-1), field);
    const int fitted = field - (closedNow() - closedHeight);
    if (fitted > 0) {
        SendMessageW(combo, CB_SETITEMHEIGHT, WPARAM(-1), fitted);
    }
}

HFONT MakeFormFont() {
    HFONT font = CreateChineseFont(L"宋体", 9);
    // Never leave the controls in the bitmap System font.
    return font ? font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

HFONT MakeLinkFont() {
    LOGFONTW face = {};
    if (!GetObjectW(FormFont(), sizeof face, &face)) {
        return FormFont();
    }
    face.lfUnderline = TRUE;
    HFONT font = CreateFontIndirectW(&face);
    return font ? font : FormFont();
}

}  // namespace

int PixelsX(int twips, TwipsPerPixel scale) {
    return Round(twips / scale.x);
}

int PixelsY(int twips, TwipsPerPixel scale) {
    return Round(twips / scale.y);
}

HFONT CreateChineseFont(const wchar_t* face, int points) {
    HDC screen = GetDC(nullptr);
    const int dpiY = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen) {
        ReleaseDC(nullptr, screen);
    }
    return CreateFontW(-MulDiv(points, dpiY, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                       GB2312_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       DEFAULT_PITCH | FF_DONTCARE, face);
}

// Both fonts live as long as the program.
HFONT FormFont() {
    static const HFONT font = MakeFormFont();
    return font;
}

HFONT LinkFont() {
    static const HFONT font = MakeLinkFont();
    return font;
}

bool RegisterFormClass(HINSTANCE instance, const wchar_t* className, WNDPROC windowProc) {
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    // Once per class: the popup is made anew for every arrival, and icons
    // loaded for a class that exists already would never be freed.
    if (GetClassInfoExW(instance, className, &windowClass)) {
        return true;
    }
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = static_cast<HICON>(
        LoadImageW(instance, MAKEINTRESOURCEW(IDI_TOVRANE), IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                   GetSystemMetrics(SM_CYICON), LR_DEFAULTCOLOR));
    windowClass.hIconSm = static_cast<HICON>(
        LoadImageW(instance, MAKEINTRESOURCEW(IDI_TOVRANE), IMAGE_ICON,
                   GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = className;
    return RegisterClassExW(&windowClass) != 0;
}

HWND CreateForm(HINSTANCE instance, const FormSpec& form, TwipsPerPixel scale, HWND owner) {
    RECT frame = {0, 0, PixelsX(form.clientWidth, scale), PixelsY(form.clientHeight, scale)};
    AdjustWindowRectEx(&frame, kFormStyle, FALSE, kFormExStyle);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;

    RECT work;
    if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0)) {
        work = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    }
    // Centred; on a screen too small for it, the title bar stays reachable.
    const int x = std::max<int>(work.left, work.left + (work.right - work.left - width) / 2);
    const int y = std::max<int>(work.top, work.top + (work.bottom - work.top - height) / 2);
    return CreateWindowExW(kFormExStyle, form.className, form.title, kFormStyle, x, y, width,
                           height, owner, nullptr, instance, nullptr);
}

void CreateControls(HWND window, const FormSpec& form, TwipsPerPixel scale) {
    // Dialog navigation walks the Z-order, and a child is made below its
    // earlier siblings: creating in TabIndex order gives the tab order.
    std::vector<const ControlSpec*> order;
    for (std::size_t i = 0; i < form.controlCount; ++i) {
        order.push_back(&form.controls[i]);
    }
    std::stable_sort(order.begin(), order.end(), [](const ControlSpec* a, const ControlSpec* b) {
        return a->tabIndex < b->tabIndex;
    });

    const HINSTANCE instance =
        reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(window, GWLP_HINSTANCE));
    for (const ControlSpec* spec : order) {
        const WindowKind kind = WindowKindOf(spec->kind);
        const POINT at = WindowOffset(form, *spec);
        const int height = PixelsY(spec->height, scale);
        HWND control = CreateWindowExW(
            0, kind.className, spec->caption, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | kind.style,
            PixelsX(at.x, scale), PixelsY(at.y, scale), PixelsX(spec->width, scale), height, window,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(spec->id)), instance, nullptr);
        if (!control) {
            continue;
        }
        SendMessageW(
            control, WM_SETFONT,
            reinterpret_cast<WPARAM>(spec->kind == Kind::LinkLabel ? LinkFont() : FormFont()),
            FALSE);
        if (spec->kind == Kind::DropDownCombo) {
            FitDropDown(control, height);
        }
    }

    // Labels, then frames, to the bottom: frames lowest of all, so that
    // nothing drawn inside a frame is hidden by it, and no label overlapping
    // a focusable control can cover it.
    for (Kind layer : {Kind::Label, Kind::Frame}) {
        for (const ControlSpec* spec : order) {
            const bool inLayer =
                layer == Kind::Frame ? spec->kind == Kind::Frame : IsLabel(spec->kind);
            if (inLayer) {
                SetWindowPos(GetDlgItem(window, spec->id), HWND_BOTTOM, 0, 0, 0, 0,
                             SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
            }
        }
    }
}

namespace {

HBRUSH LabelColours(const FormSpec& form, HWND window, HWND control, HDC dc) {
    // A combo box passes on the colour requests of its own edit field: only
    // the window's direct children are the table's.
    if (GetParent(control) != window) {
        return nullptr;
    }
    const ControlSpec* spec = FindSpec(form, GetDlgCtrlID(control));
    if (!spec || (spec->kind != Kind::TransparentLabel && spec->kind != Kind::LinkLabel)) {
        return nullptr;
    }
    if (spec->kind == Kind::LinkLabel) {
        SetTextColor(dc, RGB(0, 0, 255));
    } else {
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    }
    SetBkMode(dc, TRANSPARENT);
    return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
}

void PressFocusedButton(HWND window) {
    HWND focus = GetFocus();
    if (!focus || !IsChild(window, focus)) {
        return;
    }
    const LRESULT code = SendMessageW(focus, WM_GETDLGCODE, 0, 0);
    if (code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) {
        SendMessageW(focus, BM_CLICK, 0, 0);
    }
}

bool KeepFocusOnActivate(HWND window, WPARAM wParam, HWND& lastFocus) {
    if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(window, focus)) {
            lastFocus = focus;
        }
        return false;
    }
    const bool minimized = HIWORD(wParam) != 0;
    if (minimized || !lastFocus || !IsChild(window, lastFocus)) {
        return false;
    }
    SetFocus(lastFocus);
    return true;
}

}  // namespace

bool HandleCommonMessage(const FormSpec& form, HWND window, UINT message, WPARAM wParam,
                         LPARAM lParam, HWND& lastFocus, LRESULT& result) {
    switch (message) {
        case WM_CTLCOLORSTATIC:
            if (HBRUSH brush = LabelColours(form, window, reinterpret_cast<HWND>(lParam),
                                            reinterpret_cast<HDC>(wParam))) {
                result = reinterpret_cast<LRESULT>(brush);
                return true;
            }
            return false;
        case WM_ACTIVATE:
            if (KeepFocusOnActivate(window, wParam, lastFocus)) {
                result = 0;
                return true;
            }
            return false;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK && HIWORD(wParam) == BN_CLICKED) {
                PressFocusedButton(window);
                result = 0;
                return true;
            }
            return false;
    }
    return false;
}

}  // namespace tovrane::layout
