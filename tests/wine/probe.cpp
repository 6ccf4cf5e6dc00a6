// probe.dll: a WH_CALLWNDPROC hook that a test installs into Tovrane's
// thread, to ask there what no other process can read (a font object, a
// menu's captions, the module of a window's procedure) or to send what only the process itself can (a null
// device record). Each question is the registered message "TovraneProbe"
// sent to one of Tovrane's windows; the answer is written, as UTF-16 lines,
// to C:\probe-answer.txt before SendMessage returns.
#include <windows.h>
#include <dbt.h>

#include "driver/Driver.h"

namespace {

void Answer(const std::wstring& text) {
    HANDLE file = CreateFileW(tovrane::probe::kAnswerFile, GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size() * 2), &written, nullptr);
    CloseHandle(file);
}

std::wstring FontOf(HWND control) {
    LOGFONTW font = {};
    HFONT handle = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
    return !GetObjectW(handle, sizeof font, &font)
               ? L"no font"
               : std::wstring(font.lfFaceName) + L"|" + std::to_wstring(font.lfHeight) + L"|" +
                     std::to_wstring(font.lfCharSet);
}

std::wstring ProcedureModuleOf(HWND window) {
    HMODULE module = nullptr;
    wchar_t file[MAX_PATH] = {};
    if (GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                               GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           reinterpret_cast<LPCWSTR>(GetWindowLongPtrW(window, GWLP_WNDPROC)),
                           &module)) {
        GetModuleFileNameW(module, file, MAX_PATH);
    }
    return file;
}

std::wstring CaptionsOf(HMENU menu) {
    std::wstring captions;
    for (int i = 0, count = GetMenuItemCount(menu); i < count; ++i) {
        wchar_t caption[128] = {};
        GetMenuStringW(menu, i, caption, 128, MF_BYPOSITION);
        captions += std::wstring(caption) + L"\n";
    }
    return captions;
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK
    ProbeHook(int code, WPARAM wParam, LPARAM lParam) {
    static const UINT question = RegisterWindowMessageW(tovrane::probe::kMessage);
    const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && sent->message == question) {
        switch (sent->wParam) {
            case tovrane::probe::kFontOf:
                Answer(FontOf(reinterpret_cast<HWND>(sent->lParam)));
                break;
            case tovrane::probe::kMenuCaptions:
                Answer(CaptionsOf(reinterpret_cast<HMENU>(sent->lParam)));
                break;
            case tovrane::probe::kProcedureModule:
                Answer(ProcedureModuleOf(reinterpret_cast<HWND>(sent->lParam)));
                break;
            case tovrane::probe::kNullDeviceRecord:
                Answer(std::to_wstring(SendMessageW(reinterpret_cast<HWND>(sent->lParam),
                                                    WM_DEVICECHANGE, DBT_DEVICEARRIVAL, 0)));
                break;
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
