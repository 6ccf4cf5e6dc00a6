// The device-change monitor on a window of this process: what reaches the
// program's callbacks, and what the window's own procedure still sees and
// answers. Sent from inside the process, lParam 0 really is a null record
// (from another process Wine delivers a zeroed one instead).
#include <gtest/gtest.h>

#include <windows.h>
#include <dbt.h>

#include <string>
#include <vector>

#include "platform/DeviceMonitor.h"

namespace tovrane::wine {
namespace {

std::vector<std::string> g_log;  // what the callbacks and the window saw

LRESULT CALLBACK OwnProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DEVICECHANGE) {
        g_log.push_back("window " + std::to_string(wParam));
        return 0x5A5A;
    }
    if (message == WM_APP) {
        return 0x12345678;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

TEST(DeviceMonitor, TellsOfVolumesOnlyAndPassesEveryMessageOnWithItsAnswer) {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = OwnProcedure;
    windowClass.lpszClassName = L"MonitorTestWindow";
    ASSERT_TRUE(RegisterClassW(&windowClass));
    HWND window = CreateWindowExW(0, L"MonitorTestWindow", L"", WS_OVERLAPPED, 0, 0, 10, 10,
                                  nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(monitor::HookWindow(
        window, {[](std::uint32_t mask) { g_log.push_back("arrived " + std::to_string(mask)); },
                 [] { g_log.push_back("removed"); }}));
    EXPECT_TRUE(IsWindowUnicode(window)) << "the subclass made the window ANSI";

    struct Case {
        const char* what;
        WPARAM event;
        DWORD size, type;
        bool null;
        std::vector<std::string> log;
    };
    const Case cases[] = {
        {"stick E:",
         DBT_DEVICEARRIVAL,
         20,
         DBT_DEVTYP_VOLUME,
         false,
         {"arrived 16", "window 32768"}},
        {"removal",
         DBT_DEVICEREMOVECOMPLETE,
         20,
         DBT_DEVTYP_VOLUME,
         false,
         {"removed", "window 32772"}},
        {"null arrival", DBT_DEVICEARRIVAL, 20, DBT_DEVTYP_VOLUME, true, {"window 32768"}},
        {"null removal", DBT_DEVICEREMOVECOMPLETE, 20, DBT_DEVTYP_VOLUME, true, {"window 32772"}},
        {"short header", DBT_DEVICEARRIVAL, 8, DBT_DEVTYP_VOLUME, false, {"window 32768"}},
        {"port", DBT_DEVICEARRIVAL, 20, DBT_DEVTYP_PORT, false, {"window 32768"}},
        {"header only",
         DBT_DEVICEARRIVAL,
         12,
         DBT_DEVTYP_VOLUME,
         false,
         {"arrived 0", "window 32768"}},
    };
    for (const Case& c : cases) {
        g_log.clear();
        DEV_BROADCAST_VOLUME record = {};
        record.dbcv_size = c.size;
        record.dbcv_devicetype = c.type;
        record.dbcv_unitmask = 1u << 4;
        const LRESULT answer = SendMessageW(window, WM_DEVICECHANGE, c.event,
                                            c.null ? 0 : reinterpret_cast<LPARAM>(&record));
        EXPECT_EQ(answer, 0x5A5A) << c.what << ": the window's own answer was lost";
        EXPECT_EQ(g_log, c.log) << c.what;
    }
    EXPECT_EQ(SendMessageW(window, WM_APP, 0, 0), 0x12345678);

    monitor::UnhookWindow(window);
    EXPECT_EQ(GetWindowLongPtrW(window, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(OwnProcedure));
    DestroyWindow(window);
}

}  // namespace
}  // namespace tovrane::wine
