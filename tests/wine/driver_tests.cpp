// The driver works across processes: these tests start the sample window in
// a process of its own and drive it as the UI tests will drive Tovrane.
#include <gtest/gtest.h>

#include <windows.h>
#include <dbt.h>

#include "driver/Driver.h"
#include "wine_tests.h"

namespace tovrane::wine {
namespace {

using namespace driver;
using namespace sample;

constexpr DWORD kBoundMs = 5000;

class DriverOnSampleWindow : public ::testing::Test {
protected:
    // One window serves all the tests: under a bare Xvfb each window that
    // closes costs about 2 s (Wine waits for a window manager to withdraw it).
    static void SetUpTestSuite() {
        sample_ = StartProgram(ThisExe(), L"wine_core_tests " + std::wstring(kSampleWindowMode));
        window_ = FindTopWindow(kClass, L"", 10000);
    }

    static void TearDownTestSuite() {
        PostMessageW(window_, WM_CLOSE, 0, 0);
        EXPECT_TRUE(sample_.WaitForExit(kBoundMs)) << "the sample window did not close";
    }

    void SetUp() override {
        ASSERT_NE(window_, nullptr) << "the sample window did not appear within 10 s";
        // Each test reads only what it caused itself.
        SendMessageTimeoutW(Item(kStatus), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""),
                            SMTO_NORMAL, kBoundMs, nullptr);
    }

    static HWND Item(int id) { return GetDlgItem(window_, id); }

    // The status line once it reads `expected`, or as it last read.
    static std::string StatusAfterwards(const std::wstring& expected) {
        WaitUntil([&] { return TextOf(Item(kStatus)) == expected; }, kBoundMs);
        return Utf8(TextOf(Item(kStatus)));
    }

    static inline Process sample_;
    static inline HWND window_ = nullptr;
};

TEST_F(DriverOnSampleWindow, ListsTheControlsWithClassTextIdAndPlace) {
    struct Expected {
        const char* className;
        std::wstring text;
        int id;
        RECT rect;  // a closed drop-down combo is as tall as its edit field
    };
    const Expected expected[] = {
        {"Button", L"检查", kButton, {10, 10, 90, 34}},
        {"Button", L"自动保护", kCheckBox, {10, 44, 130, 64}},
        {"ComboBox", L"", kCombo, {10, 74, 130, 0}},
        {"Static", L"", kStatus, {10, 110, 300, 130}},
    };
    EXPECT_EQ(Utf8(TextOf(window_)), "样本窗口");
    const std::vector<Control> controls = ListControls(window_);
    ASSERT_EQ(controls.size(), std::size(expected));
    for (size_t i = 0; i < controls.size(); ++i) {
        const Control& c = controls[i];
        const Expected& e = expected[i];
        SCOPED_TRACE("control " + std::to_string(i));
        EXPECT_EQ(Utf8(c.className), e.className);
        EXPECT_EQ(Utf8(c.text), Utf8(e.text));
        EXPECT_EQ(c.id, e.id);
        EXPECT_EQ(c.rect.left, e.rect.left);
        EXPECT_EQ(c.rect.top, e.rect.top);
        EXPECT_EQ(c.rect.right, e.rect.right);
        if (e.rect.bottom != 0) {
            EXPECT_EQ(c.rect.bottom, e.rect.bottom);
        }
    }
}

TEST_F(DriverOnSampleWindow, ReadsAMessageBoxAndPressesOk) {
    Click(Item(kButton));
    HWND box = FindMessageBox(sample_.Id(), kBoundMs);
    ASSERT_NE(box, nullptr) << "no message box within " << kBoundMs << " ms";
    EXPECT_EQ(Utf8(TextOf(box)), "安全提醒");
    EXPECT_EQ(Utf8(MessageBoxText(box)), "盘符 E: 已检查");
    // The button speaks the language that run-suite.sh chose.
    const bool chinese = SuiteSetting(L"TOVRANE_LOCALE") == L"zh_CN";
    EXPECT_EQ(Utf8(TextOf(GetDlgItem(box, IDOK))), chinese ? "确定" : "OK");

    PressOk(box);
    EXPECT_EQ(StatusAfterwards(L"box closed"), "box closed");
    EXPECT_FALSE(IsWindow(box));
}

TEST_F(DriverOnSampleWindow, ReadsAndSetsTheCheckBox) {
    HWND box = Item(kCheckBox);
    EXPECT_FALSE(IsChecked(box));
    SetChecked(box, true);
    EXPECT_TRUE(IsChecked(box));
    EXPECT_EQ(StatusAfterwards(L"check 1"), "check 1");
    SetChecked(box, true);  // already checked: no click, so it stays checked
    EXPECT_TRUE(IsChecked(box));
    SetChecked(box, false);
    EXPECT_EQ(StatusAfterwards(L"check 0"), "check 0");
}

TEST_F(DriverOnSampleWindow, ReadsTheComboAndTypesAndChoosesAsAUserWould) {
    HWND combo = Item(kCombo);
    const std::vector<std::wstring> items = ComboItems(combo);
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(Utf8(items[0]), "D:");
    EXPECT_EQ(Utf8(items[2]), "可移动磁盘 (F:)");

    EXPECT_TRUE(SetComboText(combo, L"G:")) << "reads " << Utf8(TextOf(combo));
    EXPECT_EQ(StatusAfterwards(L"edit G:"), "edit G:");

    EXPECT_TRUE(ChooseComboItem(combo, 1));
    EXPECT_EQ(StatusAfterwards(L"sel E:"), "sel E:");
    EXPECT_EQ(Utf8(TextOf(combo)), "E:");
    EXPECT_FALSE(ChooseComboItem(combo, 3)) << "there is no fourth item";
}

TEST_F(DriverOnSampleWindow, DeliversVolumeChangesAndTrayMessages) {
    EXPECT_TRUE(SendVolumeChange(window_, DBT_DEVICEARRIVAL, L'E'));
    EXPECT_EQ(StatusAfterwards(L"arrival E"), "arrival E");
    EXPECT_TRUE(SendVolumeChange(window_, DBT_DEVICEREMOVECOMPLETE, L'G'));
    EXPECT_EQ(StatusAfterwards(L"removal G"), "removal G");
    EXPECT_TRUE(PostTrayMouse(window_, kTrayMessage, 7, WM_MOUSEMOVE));
    EXPECT_EQ(StatusAfterwards(L"tray 7 512"), "tray 7 512");
}

TEST_F(DriverOnSampleWindow, FollowsTheFocusAlongTheTabOrder) {
    // The control with the focus; a drop-down combo takes it in its edit field.
    auto focused = [] {
        HWND focus = FocusOf(window_);
        return GetParent(focus) == Item(kCombo) ? kCombo : GetDlgCtrlID(focus);
    };
    const int next[] = {kCheckBox, kCombo, kButton};  // after kButton, kCheckBox, kCombo
    for (int step = 0; step < 3; ++step) {
        const int from = focused();
        ASSERT_TRUE(from >= kButton && from <= kCombo) << "the focus is on id " << from;
        const int expected = next[from - kButton];
        ASSERT_TRUE(PostTab(window_));
        EXPECT_TRUE(WaitUntil([&] { return focused() == expected; }, kBoundMs))
            << "Tab from id " << from << " went to id " << focused() << ", expected " << expected;
    }
}

}  // namespace
}  // namespace tovrane::wine
