// Tovrane.exe itself under Wine, driven from outside as a user drives it: the
// main window's controls, texts and tab order, its drive lists and commands,
// the start-up check box and the description window. suites.cmake maps:
//   A: floppy (never listed, never touched)   D: hard disk
//   E: floppy (the stick)   F: CD-ROM   G: floppy whose folder is missing
// and runs the LayoutAndText group again under code page 1252.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "driver/Driver.h"
#include "wine_tests.h"

namespace tovrane::wine {
namespace {

using namespace driver;

constexpr DWORD kBoundMs = 10000;
// How long a command that must do nothing is watched: md takes under 100 ms.
constexpr DWORD kQuietMs = 600;

// Control ids of the main window.
constexpr int kCommand1 = 101, kCommand2 = 102, kCommand3 = 103, kCommand4 = 104, kCommand5 = 105;
constexpr int kCheck1 = 201, kCombo1 = 301, kCombo2 = 302;
constexpr int kFrame1 = 501, kFrame2 = 502, kFrame3 = 503, kFrame4 = 504;

const wchar_t kDecoyMarker[] = L"C:\\decoy-ran.txt";
const wchar_t kPwned[] = L"C:\\tovrane\\pwned";  // what the hostile text would make
const std::wstring kDrives = L"ACDEFG";

struct Expected {
    const char* name;
    int id;
    const char* kind;
    int frame;                     // 0: on the window itself
    int left, top, width, height;  // twips, from the frame's or the client area's corner
    const wchar_t* text;
};

// The main window's layout table, in twips.
const Expected kForm1[] = {
    {"Frame4", kFrame4, "frame", 0, 120, 120, 3615, 1455, L"U盘病毒防御"},
    {"Command1", kCommand1, "button", kFrame4, 120, 360, 1455, 375, L"防御U盘"},
    {"Command4", kCommand4, "button", kFrame4, 1680, 360, 1815, 375, L"防御本地所有盘符"},
    {"Label5", 405, "label", kFrame4, 120, 960, 1335, 255, L"防御单个盘符:"},
    {"Combo2", kCombo2, "drop-down combo", kFrame4, 1320, 937, 975, 300, L""},
    {"Command5", kCommand5, "button", kFrame4, 2400, 900, 1095, 375, L"防御"},
    {"Frame3", kFrame3, "frame", 0, 120, 1680, 3615, 735, L"安全打开盘符"},
    {"Combo1", kCombo1, "drop-down combo", kFrame3, 1200, 270, 975, 300, L""},
    {"Command2", kCommand2, "button", kFrame3, 2280, 240, 1215, 375, L"安全打开"},
    {"Label1", 401, "label", kFrame3, 120, 300, 1095, 255, L"请选择盘符:"},
    {"Frame2", kFrame2, "frame", 0, 120, 2520, 3615, 1215, L"开机自启动"},
    {"Check1", kCheck1, "check box", kFrame2, 240, 360, 1935, 255, L"是否加入开机自启动"},
    {"Command3", kCommand3, "button", kFrame2, 2280, 240, 1215, 375, L"程序说明"},
    {"Label4", 404, "label", kFrame2, 240, 720, 3255, 375,
     L"建议:加入开机自启动,该软件体积小,并不会占多资源,请放心使用!"},
    {"Frame1", kFrame1, "frame", 0, 120, 3840, 3615, 615, L"作者信息"},
    {"Label2", 402, "label", kFrame1, 120, 240, 1935, 255, L"Tovrane 项目"},
    {"Label3", 403, "label", kFrame1, 2040, 240, 1335, 255, L"QQ: 10000"},
};

std::string NameOf(int id) {
    for (const Expected& e : kForm1) {
        if (e.id == id) {
            return e.name;
        }
    }
    return "id " + std::to_string(id);
}

int Px(int twips) {
    return static_cast<int>(std::lround(twips / 15.0));
}

std::string RectText(const RECT& r) {
    return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + ")-(" +
           std::to_string(r.right) + "," + std::to_string(r.bottom) + ")";
}

std::string KindOf(HWND control) {
    const std::wstring name = ClassOf(control);
    const LONG style = GetWindowLongW(control, GWL_STYLE);
    const LONG type = style & BS_TYPEMASK;
    if (name == L"Button") {
        // The dialog manager makes a focused push button the default one.
        return type == BS_GROUPBOX        ? "frame"
               : type == BS_AUTOCHECKBOX  ? "check box"
               : type <= BS_DEFPUSHBUTTON ? "button"
                                          : "Button " + Hex(style);
    }
    if (name == L"ComboBox" && (style & 3) == CBS_DROPDOWN) {
        return "drop-down combo";
    }
    return name == L"Static" ? "label" : Utf8(name) + " " + Hex(style);
}

std::string ReadAll(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return {};
    }
    std::string bytes(GetFileSize(file, nullptr), '\0');
    DWORD read = 0;
    ReadFile(file, &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr);
    CloseHandle(file);
    bytes.resize(read);
    return bytes;
}

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring AutorunOn(wchar_t letter) {
    return std::wstring(1, letter) + L":\\autorun.inf";
}

// "E:immunised" for each drive holding an autorun.inf folder marked hidden and
// system with its sub-folder, "E:file" or "E:folder 0x10" for anything else
// there, and "pwned" when a hostile text's command ran. Empty: all untouched.
std::string DriveStates() {
    std::string states;
    for (wchar_t letter : kDrives) {
        const DWORD a = GetFileAttributesW(AutorunOn(letter).c_str());
        if (a == INVALID_FILE_ATTRIBUTES) {
            continue;
        }
        const DWORD marks =
            FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
        states += states.empty() ? "" : " ";
        states += std::string(1, static_cast<char>(letter)) + ":";
        if (!(a & FILE_ATTRIBUTE_DIRECTORY)) {
            states += "file";
        } else if ((a & marks) == marks && Exists(AutorunOn(letter) + L"\\tirmola")) {
            states += "immunised";
        } else {
            states += "folder " + Hex(a);
        }
    }
    if (Exists(kPwned)) {
        states += states.empty() ? "pwned" : " pwned";
    }
    return states;
}

// The drives once they read `expected`, or at the bound. Nothing changing is
// watched for the whole of a shorter bound.
std::string DrivesAfterwards(const std::string& expected) {
    if (expected.empty()) {
        WaitUntil([] { return !DriveStates().empty(); }, kQuietMs);
    } else {
        WaitUntil([&] { return DriveStates() == expected; }, kBoundMs);
    }
    return DriveStates();
}

void ClearDrives() {
    for (wchar_t letter : kDrives) {
        const std::wstring path = AutorunOn(letter);
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        RemoveDirectoryW((path + L"\\tirmola").c_str());
        RemoveDirectoryW(path.c_str());
        DeleteFileW(path.c_str());
    }
    RemoveDirectoryW(kPwned);
}

int CountTopWindows(const wchar_t* className, DWORD processId) {
    int count = 0;
    for (HWND window = FindWindowExW(nullptr, nullptr, className, nullptr); window;
         window = FindWindowExW(nullptr, window, className, nullptr)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        count += owner == processId;
    }
    return count;
}

// Each test starts its own Tovrane.exe, from C:\tovrane into the current
// folder C:\tovrane\work, with a decoy cmd.exe in both folders that must
// never run, and closes it at the end.
class TovraneTest : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t current[MAX_PATH] = {};
        GetCurrentDirectoryW(MAX_PATH, current);
        const std::wstring installed = FolderOf(ThisExe());
        tovrane_ = installed + L"\\Tovrane.exe";
        work_ = current;
        ASSERT_NE(Utf8(work_), Utf8(installed)) << "run-suite.sh runs from another folder";
        decoys_ = {installed + L"\\cmd.exe", work_ + L"\\cmd.exe"};
        for (const std::wstring& decoy : decoys_) {
            ASSERT_TRUE(CopyFileW((installed + L"\\decoy_cmd.exe").c_str(), decoy.c_str(), FALSE));
        }
        DeleteFileW(kDecoyMarker);
        ClearDrives();
    }

    void TearDown() override {
        if (process_.Started()) {
            PostMessageW(form_, WM_CLOSE, 0, 0);
            if (!process_.WaitForExit(kBoundMs)) {
                ADD_FAILURE() << "Tovrane did not end within 10 s of WM_CLOSE";
                HANDLE p = OpenProcess(PROCESS_TERMINATE, FALSE, process_.Id());
                TerminateProcess(p, 1);
                CloseHandle(p);
                process_.WaitForExit(kBoundMs);
            }
        }
        EXPECT_EQ(ReadAll(kDecoyMarker), "") << "a planted cmd.exe ran";
        for (const std::wstring& decoy : decoys_) {
            DeleteFileW(decoy.c_str());
        }
        DeleteFileW(kDecoyMarker);
        ClearDrives();
    }

    // True once the new Tovrane's main window is shown, its controls made.
    bool Start() {
        process_ = StartProgram(tovrane_, L"Tovrane.exe", work_);
        form_ = FindTopWindow(L"TovraneForm1", L"", process_.Started() ? kBoundMs : 0);
        DWORD owner = 0;
        GetWindowThreadProcessId(form_, &owner);
        if (!form_ || owner != process_.Id() ||
            !WaitUntil([&] { return IsWindowVisible(form_) != FALSE; }, kBoundMs)) {
            ADD_FAILURE() << "Tovrane's main window did not show within 10 s";
            return false;
        }
        return true;
    }

    HWND Item(int id) const { return GetDlgItem(form_, id); }

    std::wstring tovrane_, work_;
    std::vector<std::wstring> decoys_;
    Process process_;
    HWND form_ = nullptr;
};

class LayoutAndText : public TovraneTest {};
class DriveLists : public TovraneTest {};
class GuardButtons : public TovraneTest {};
class SafeOpen : public TovraneTest {};

// ---------------------------------------------------------------------------

TEST_F(LayoutAndText, Form1ShowsEachControlWithItsKindTextAndPlace) {
    const bool chinese = SuiteSetting(L"TOVRANE_LOCALE") == L"zh_CN";
    ASSERT_EQ(GetACP(), chinese ? 936u : 1252u) << "not the code page run-suite.sh was asked for";
    HDC screen = GetDC(nullptr);
    ASSERT_EQ(GetDeviceCaps(screen, LOGPIXELSX), 96) << "the table's pixels are for 96 dpi";
    ReleaseDC(nullptr, screen);
    ASSERT_TRUE(Start());
    EXPECT_EQ(Utf8(TextOf(form_)), "Tovrane");
    RECT client = {}, window = {}, work = {};
    GetClientRect(form_, &client);
    EXPECT_EQ(RectText(client), RectText({0, 0, Px(3795), Px(4545)})) << "client area";
    GetWindowRect(form_, &window);
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    // Twice the distance between the centres, allowing a pixel of rounding.
    EXPECT_LE(std::abs(window.left + window.right - work.left - work.right), 2)
        << "window " << RectText(window) << " in work area " << RectText(work);
    EXPECT_LE(std::abs(window.top + window.bottom - work.top - work.bottom), 2)
        << "window " << RectText(window) << " in work area " << RectText(work);

    const std::vector<Control> controls = ListControls(form_);
    EXPECT_EQ(controls.size(), std::size(kForm1));
    auto find = [&](int id) -> const Control* {
        for (const Control& c : controls) {
            if (c.id == id) {
                return &c;
            }
        }
        return nullptr;
    };
    for (const Expected& e : kForm1) {
        SCOPED_TRACE(e.name);
        const Control* c = find(e.id);
        const Control* frame = e.frame ? find(e.frame) : nullptr;
        ASSERT_TRUE(c && (frame || !e.frame)) << "missing, or its frame is";
        EXPECT_EQ(KindOf(c->hwnd), e.kind);
        EXPECT_EQ(Utf8(c->text), Utf8(e.text));
        RECT at = c->rect;
        if (frame) {
            OffsetRect(&at, -frame->rect.left, -frame->rect.top);
        }
        const RECT want = {Px(e.left), Px(e.top), Px(e.left) + Px(e.width),
                           Px(e.top) + Px(e.height)};
        EXPECT_EQ(RectText(at), RectText(want));
    }

    // Label5 overlaps Combo2 and Label1 Combo1: labels and frames lie below
    // every control that takes input, so none paints over one.
    bool passedInputControls = false;
    for (const Control& c : controls) {  // top of the Z-order first
        const std::string kind = KindOf(c.hwnd);
        const bool below = kind == "label" || kind == "frame";
        EXPECT_FALSE(passedInputControls && !below)
            << NameOf(c.id) << " lies below a label or frame";
        passedInputControls = passedInputControls || below;
    }
}

TEST_F(LayoutAndText, Form1TabWalksTheFocusableControlsInTabIndexOrder) {
    const int order[] = {kCheck1,   kCommand3, kCombo1,   kCommand2, kCommand1,
                         kCommand4, kCombo2,   kCommand5, kCheck1};
    ASSERT_TRUE(Start());
    // A drop-down combo box takes the focus in its edit field.
    auto focused = [&] {
        HWND focus = FocusOf(form_);
        return GetParent(focus) == form_ ? GetDlgCtrlID(focus) : GetDlgCtrlID(GetParent(focus));
    };
    EXPECT_TRUE(WaitUntil([&] { return focused() == kCheck1; }, kBoundMs))
        << "at open the focus is on " << NameOf(focused()) << ", not Check1";
    for (size_t i = 1; i < std::size(order); ++i) {
        const int from = focused();
        ASSERT_TRUE(PostTab(form_)) << "nothing has the focus";
        EXPECT_TRUE(WaitUntil([&] { return focused() == order[i]; }, 5000))
            << "Tab from " << NameOf(from) << " went to " << NameOf(focused()) << ", expected "
            << NameOf(order[i]);
    }
}

TEST_F(LayoutAndText, Form3ShowsTheDescriptionOnceWithCommand1Focused) {
    struct Line {
        int id;
        const wchar_t* text;
    };
    const Line lines[] = {
        {401, L"一、本程序是一个防止移动设备里的病毒感染本机的一个程序。"},
        {402, L"二、对于已经中毒了U盘病毒的电脑，该软件就会无效。"},
        {406, L"三、该软件写入启动项，杀毒软件会有提示，这属于正常，允许通过就可以了"},
        {407, L"四、程序安全打开方式不会激活移动设备里的U盘病毒"},
        {403,
         L"五、本软件只是为了学习以及兴趣了编写，软件中有许多BUG 是很正常的，"
         L"也希望大家能够多提宝贵意见！我会努力去改正她。"},
        {404, L"© Tovrane 项目 版权所有"},
        {405, L"作者Blog: http://tovrane.example.org/"},
        {409, L"本人邮箱:tovrane@example.org"},
        {101, L"给软件提建议(&S)"},
    };
    ASSERT_TRUE(Start());
    Click(Item(kCommand3));
    HWND form3 = FindTopWindow(L"TovraneForm3", L"", kBoundMs);
    ASSERT_NE(form3, nullptr) << "no description window within 10 s";
    EXPECT_EQ(Utf8(TextOf(form3)), "程序说明");
    for (const Line& line : lines) {
        EXPECT_EQ(Utf8(TextOf(GetDlgItem(form3, line.id))), Utf8(line.text)) << "id " << line.id;
    }
    EXPECT_TRUE(WaitUntil([&] { return FocusOf(form3) == GetDlgItem(form3, 101); }, kBoundMs))
        << "the focus is on id " << GetDlgCtrlID(FocusOf(form3)) << " of "
        << Utf8(ClassOf(GetAncestor(FocusOf(form3), GA_ROOT)));

    Click(Item(kCommand3));
    WaitUntil([&] { return CountTopWindows(L"TovraneForm3", process_.Id()) != 1; }, kQuietMs);
    EXPECT_EQ(CountTopWindows(L"TovraneForm3", process_.Id()), 1) << "after a second click";
}

// ---------------------------------------------------------------------------

std::string Listed(const std::vector<std::wstring>& items) {
    std::string out;
    for (const std::wstring& item : items) {
        out += "\"" + Utf8(item) + "\" ";
    }
    return out;
}

TEST_F(DriveLists, BothListThePlaceholderAndTheDriveTokens) {
    ASSERT_TRUE(Start());
    // A: is left out of the tokens, which leaves an empty one in its place.
    const std::string expected = "\"请选择\" \"\" \"C\" \"D\" \"E\" \"F\" \"G\" \"\" ";
    EXPECT_EQ(Listed(ComboItems(Item(kCombo1))), expected);
    EXPECT_EQ(Listed(ComboItems(Item(kCombo2))), expected);
}

TEST_F(GuardButtons, Command1ImmunisesTheStickAlone) {
    ASSERT_TRUE(Start());
    Click(Item(kCommand1));
    // G: is removable and higher, but an empty slot.
    EXPECT_EQ(DrivesAfterwards("E:immunised"), "E:immunised");
}

TEST_F(GuardButtons, Command4ImmunisesEveryDriveButA) {
    ASSERT_TRUE(Start());
    Click(Item(kCommand4));
    const std::string all = "C:immunised D:immunised E:immunised F:immunised";
    EXPECT_EQ(DrivesAfterwards(all), all);
}

TEST_F(GuardButtons, Command5ImmunisesOnlyADriveLetterPickedOrTyped) {
    struct Case {
        int pick;  // the list item chosen, or -1 when `typed`
        const wchar_t* typed;
        const char* expected;
    };
    const Case cases[] = {
        {3, nullptr, "D:immunised"},  // "D"
        {-1, L"e:", "E:immunised"},
        {-1, L"D & md C:\\tovrane\\pwned & rem", ""},  // makes kPwned if run by cmd
        {-1, L"\"D\"", ""},
        {-1, L"D:\\..", ""},
        {0, nullptr, ""},  // the placeholder
        {-1, L"", ""},
    };
    ASSERT_TRUE(Start());
    HWND combo = Item(kCombo2);
    for (const Case& c : cases) {
        ClearDrives();
        ASSERT_TRUE(c.typed ? SetComboText(combo, c.typed) : ChooseComboItem(combo, c.pick));
        SCOPED_TRACE("Combo2 reads \"" + Utf8(TextOf(combo)) + "\"");
        Click(Item(kCommand5));
        EXPECT_EQ(DrivesAfterwards(c.expected), c.expected);
    }
}

TEST_F(SafeOpen, Command2RemovesAutorunThenOpensThePickedDriveWithTheSystemCmd) {
    CloseHandle(CreateFileW(AutorunOn(L'E').c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM,
                            nullptr));
    ASSERT_EQ(Hex(GetFileAttributesW(AutorunOn(L'E').c_str())), "0x27");
    ASSERT_TRUE(Start());
    HWND combo = Item(kCombo1);

    ASSERT_TRUE(ChooseComboItem(combo, 0));
    Click(Item(kCommand2));
    HWND opened = FindTopWindow(L"ExplorerWClass", L"", 1500);
    EXPECT_EQ(opened, nullptr) << "the placeholder opened " << Utf8(TextOf(opened));
    EXPECT_EQ(DriveStates(), "E:file") << "the placeholder touched a drive";

    ASSERT_TRUE(ChooseComboItem(combo, 4));
    ASSERT_EQ(Utf8(TextOf(combo)), "E");
    Click(Item(kCommand2));
    // Wine's explorer titles the window of an unlabelled drive " (E:)".
    opened = FindTopWindow(L"ExplorerWClass", L"(E:)", kBoundMs);
    EXPECT_NE(opened, nullptr) << "no window for E: within 10 s: the real start did not run";
    EXPECT_EQ(DriveStates(), "") << "autorun.inf was not removed before the drive was opened";
    if (opened) {
        PostMessageW(opened, WM_CLOSE, 0, 0);
        EXPECT_TRUE(WaitUntil([&] { return !IsWindow(opened); }, kBoundMs));
    }
}

// ---------------------------------------------------------------------------
// Check1 and the startup copy, kelvo.exe in the shell's all-users Startup folder.

class StartupChoice : public TovraneTest {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(TovraneTest::SetUp());
        wchar_t folder[MAX_PATH] = {};
        ASSERT_EQ(
            SHGetFolderPathW(nullptr, CSIDL_COMMON_STARTUP, nullptr, SHGFP_TYPE_CURRENT, folder),
            S_OK);
        // Not the Chinese XP fallback folder, which a wrong lookup would give.
        ASSERT_EQ(Utf8(folder),
                  "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp");
        copy_ = std::wstring(folder) + L"\\kelvo.exe";
        RemoveCopy();
    }
    void TearDown() override {
        TovraneTest::TearDown();
        RemoveCopy();
    }
    void RemoveCopy() {
        DeleteFileW(copy_.c_str());
        RemoveDirectoryW(copy_.c_str());
    }

    std::wstring copy_;
};

TEST_F(StartupChoice, TickingCopiesTovraneThereAndUntickingRemovesTheCopy) {
    const std::string original = ReadAll(tovrane_);
    ASSERT_FALSE(original.empty());
    ASSERT_TRUE(Start());
    HWND check = Item(kCheck1);
    EXPECT_FALSE(IsChecked(check)) << "ticked at open with no startup copy";

    SetChecked(check, true);
    EXPECT_TRUE(WaitUntil([&] { return ReadAll(copy_) == original; }, kBoundMs))
        << "kelvo.exe holds " << ReadAll(copy_).size() << " bytes, not the " << original.size()
        << " of Tovrane.exe";
    EXPECT_TRUE(IsChecked(check));

    SetChecked(check, false);
    EXPECT_TRUE(WaitUntil([&] { return !Exists(copy_); }, kBoundMs)) << "kelvo.exe stayed";
    EXPECT_FALSE(IsChecked(check));
    HWND box = FindMessageBox(process_.Id(), kQuietMs);
    EXPECT_EQ(box, nullptr) << "a message box said: " << Utf8(MessageBoxText(box));
}

TEST_F(StartupChoice, ACopyAlreadyThereTicksTheBoxAtOpen) {
    ASSERT_TRUE(CopyFileW(tovrane_.c_str(), copy_.c_str(), FALSE));
    ASSERT_TRUE(Start());
    EXPECT_TRUE(IsChecked(Item(kCheck1)));
}

TEST_F(StartupChoice, AFolderInTheCopysPlaceIsReportedAndTheBoxStaysUnticked) {
    // A folder stops the copy even for root, who writes through permissions.
    ASSERT_TRUE(CreateDirectoryW(copy_.c_str(), nullptr));
    ASSERT_TRUE(Start());
    HWND check = Item(kCheck1);
    EXPECT_FALSE(IsChecked(check)) << "a folder is no startup copy";

    Click(check);
    HWND box = FindMessageBox(process_.Id(), kBoundMs);
    ASSERT_NE(box, nullptr) << "no message box within 10 s";
    const std::wstring text = MessageBoxText(box);
    EXPECT_NE(text.find(copy_), std::wstring::npos)
        << "the box says \"" << Utf8(text) << "\" and names no " << Utf8(copy_);
    PressOk(box);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(box); }, kBoundMs)) << "OK left the box";
    EXPECT_TRUE(WaitUntil([&] { return !IsChecked(check); }, kBoundMs)) << "the box stayed ticked";
    EXPECT_TRUE(SendMessageTimeoutW(form_, WM_NULL, 0, 0, SMTO_NORMAL, 5000, nullptr))
        << "Tovrane no longer answers";
    EXPECT_EQ(Hex(process_.ExitCode()), Hex(STILL_ACTIVE));
}

}  // namespace
}  // namespace tovrane::wine
