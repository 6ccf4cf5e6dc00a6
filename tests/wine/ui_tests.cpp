// Tovrane.exe itself under Wine, driven from outside as a user drives it: the
// main window's controls, texts, drive lists and tab order, its commands,
// the start-up check box and the description window. suites.cmake maps:
//   A: floppy (never listed, never touched)   D: hard disk
//   E: floppy (the stick)   F: CD-ROM   G: floppy whose folder is missing
// and runs the LayoutAndText group again under code page 1252.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <fstream>
#include <iterator>
#include <map>
#include <vector>

#include "wine_tests.h"

namespace tovrane::wine {
namespace {

constexpr int kFrame1 = 501, kFrame2 = 502, kFrame3 = 503, kFrame4 = 504;

const wchar_t kDecoyMarker[] = L"C:\\decoy-ran.txt";
// The startup copy: the shell's all-users Startup folder in a fresh prefix,
// not the Chinese XP fallback folder that a wrong lookup would give.
const wchar_t kCopy[] =
    L"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp\\kelvo.exe";
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
    const auto e = std::find_if(std::begin(kForm1), std::end(kForm1),
                                [&](const Expected& e) { return e.id == id; });
    return e != std::end(kForm1) ? e->name : "id " + std::to_string(id);
}

int Px(int twips) {
    return static_cast<int>(std::lround(twips / 15.0));
}

std::string RectText(const RECT& r) {
    return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + ")-(" +
           std::to_string(r.right) + "," + std::to_string(r.bottom) + ")";
}

std::string KindOf(HWND control) {
    wchar_t className[32] = {};
    GetClassNameW(control, className, 32);
    const std::wstring name = className;
    const LONG style = GetWindowLongW(control, GWL_STYLE);
    const LONG button = name == L"Button" ? style & BS_TYPEMASK : -1;
    // The dialog manager makes a focused push button the default one.
    return button == BS_PUSHBUTTON || button == BS_DEFPUSHBUTTON ? "button"
           : button == BS_AUTOCHECKBOX                           ? "check box"
           : button == BS_GROUPBOX                               ? "frame"
           : name == L"ComboBox" && (style & 3) == CBS_DROPDOWN  ? "drop-down combo"
           : name == L"Static"                                   ? "label"
                                                                 : Hex(style);
}

std::string ReadAll(const std::wstring& path) {
    std::ifstream file(Utf8(path), std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

// The drives once they read `expected`, or at the bound; when they must stay
// as they were, a change is watched for for a while.
std::string DrivesAfterwards(const std::string& before, const std::string& expected) {
    const bool quiet = expected == before;
    WaitUntil([&] { return quiet ? Autoruns(kDrives) != before : Autoruns(kDrives) == expected; },
              quiet ? kQuietMs : kBoundMs);
    return Autoruns(kDrives);
}

// Each test starts its own Tovrane.exe, from C:\tovrane into the current
// folder C:\tovrane\work, with a decoy cmd.exe in both folders that must
// never run, and closes it at the end.
class TovraneTest : public WineTest {
protected:
    void SetUp() override {
        for (const std::wstring& folder : {installed_, work_}) {
            ASSERT_TRUE(CopyFileW((installed_ + L"\\decoy_cmd.exe").c_str(),
                                  (folder + L"\\cmd.exe").c_str(), FALSE));
        }
        // Whatever an earlier test may have made: the decoy's record,
        // autorun.inf files and folders, the startup copy or a folder in its place.
        DeleteFileW(kDecoyMarker);
        ClearAutoruns(kDrives);
        RemoveDirectoryW(kCopy);
        DeleteFileW(kCopy);
    }

    void TearDown() override {
        WineTest::TearDown();
        EXPECT_EQ(ReadAll(kDecoyMarker), "") << "a planted cmd.exe ran";
    }

    // True once a new Tovrane has settled into the tray and its main window
    // is shown from there. The stick E: is in, so it first reminds of it.
    bool Start() { return StartSettled(L'E') && tovrane_.ShowFromTray(); }

    const std::wstring installed_ = ProgramFolder();
    const std::wstring work_ = installed_ + L"\\work";  // run-suite.sh's current folder
};

class LayoutAndText : public TovraneTest {};
class Commands : public TovraneTest {};
class StartupChoice : public TovraneTest {};

TEST_F(LayoutAndText, Form1AndForm3ShowTheirControlsTextsPlacesAndTabOrderAsDesigned) {
    // The harness first: the locale asked for, and the fonts the windows need.
    const bool chinese = SuiteSetting(L"TOVRANE_LOCALE") == L"zh_CN";
    ASSERT_EQ(GetACP(), chinese ? 936u : 1252u) << "not the code page run-suite.sh was asked for";
    if (chinese) {
        EXPECT_EQ(Hex(GetUserDefaultLCID()), "0x804");
    }
    HDC screen = GetDC(nullptr);
    ASSERT_EQ(GetDeviceCaps(screen, LOGPIXELSX), 96) << "the table's pixels are for 96 dpi";
    ReleaseDC(nullptr, screen);
    EXPECT_NE(GetFileAttributesW(L"C:\\windows\\Fonts\\marlett.ttf"), INVALID_FILE_ATTRIBUTES)
        << "caption buttons would draw as letters";
    wchar_t kai[64] = {};
    DWORD size = sizeof kai;
    RegGetValueW(HKEY_LOCAL_MACHINE,
                 L"Software\\Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes",
                 L"楷体_GB2312", RRF_RT_REG_SZ, nullptr, kai, &size);
    EXPECT_EQ(Utf8(kai), "AR PL UKai CN") << "the popup's question would not draw in Kai";

    ASSERT_TRUE(Start());
    EXPECT_EQ(Utf8(TextOf(form_)), "Tovrane");
    RECT client = {}, window = {}, work = {};
    GetClientRect(form_, &client);
    EXPECT_EQ(RectText(client), RectText({0, 0, Px(3795), Px(4545)})) << "client area";
    GetWindowRect(form_, &window);
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    // Twice the distance between the centres, allowing a pixel of rounding.
    EXPECT_LE(std::max(std::abs(window.left + window.right - work.left - work.right),
                       std::abs(window.top + window.bottom - work.top - work.bottom)),
              2)
        << "window " << RectText(window) << " in work area " << RectText(work);

    const std::vector<Control> controls = ListControls(form_);
    EXPECT_EQ(controls.size(), std::size(kForm1));
    std::map<int, const Control*> byId;  // null for an id not there
    for (const Control& c : controls) {
        byId[c.id] = &c;
    }
    for (const Expected& e : kForm1) {
        SCOPED_TRACE(e.name);
        const Control* c = byId[e.id];
        const Control* frame = e.frame ? byId[e.frame] : nullptr;
        ASSERT_TRUE(c && (frame || !e.frame)) << "missing, or its frame is";
        EXPECT_EQ(KindOf(c->hwnd), e.kind);
        EXPECT_EQ(Utf8(c->text), Utf8(e.text));
        RECT at = c->rect;
        OffsetRect(&at, frame ? -frame->rect.left : 0, frame ? -frame->rect.top : 0);
        const RECT want = {Px(e.left), Px(e.top), Px(e.left) + Px(e.width),
                           Px(e.top) + Px(e.height)};
        EXPECT_EQ(RectText(at), RectText(want));
    }

    // The manifest binds the version 6 common controls: comctl32.dll from
    // its side-by-side folder works the buttons. Without them user32 does,
    // in the classic style.
    std::string buttons =
        probe::Ask(form_, probe::kProcedureModule, reinterpret_cast<LPARAM>(Item(kCommand1)));
    std::transform(buttons.begin(), buttons.end(), buttons.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    EXPECT_TRUE(buttons.find("\\winsxs\\") != std::string::npos &&
                buttons.size() > 12 && buttons.substr(buttons.size() - 12) == "comctl32.dll")
        << "the buttons are worked by " << buttons;

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

    // A: is left out of the tokens, which leaves an empty one in its place.
    for (int combo : {kCombo1, kCombo2}) {
        EXPECT_EQ(ComboItems(Item(combo)), R"("请选择" "" "C" "D" "E" "F" "G" "" )")
            << NameOf(combo);
    }

    // Tab walks the focusable controls in tab-index order, from Check1 at
    // open; a drop-down combo box takes the focus in its edit field.
    const int order[] = {kCheck1,   kCommand3, kCombo1,   kCommand2, kCommand1,
                         kCommand4, kCombo2,   kCommand5, kCheck1};
    auto focused = [&] {
        HWND focus = FocusOf(form_);
        return GetParent(focus) == form_ ? GetDlgCtrlID(focus) : GetDlgCtrlID(GetParent(focus));
    };
    EXPECT_TRUE(WaitUntil([&] { return focused() == kCheck1; }, kBoundMs))
        << "at open the focus is on " << NameOf(focused()) << ", not Check1";
    for (size_t i = 1; i < std::size(order); ++i) {
        const int from = focused();
        HWND focus = FocusOf(form_);  // Tab on it: the dialog loop moves the focus on
        ASSERT_TRUE(focus && PostMessageW(focus, WM_KEYDOWN, VK_TAB, 0x000F0001) &&
                    PostMessageW(focus, WM_KEYUP, VK_TAB, 0xC00F0001));
        EXPECT_TRUE(WaitUntil([&] { return focused() == order[i]; }, 5000))
            << "Tab from " << NameOf(from) << " went to " << NameOf(focused()) << ", expected "
            << NameOf(order[i]);
    }

    // Command3 shows the description once, with its button focused.
    const std::pair<int, const wchar_t*> lines[] = {
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
    Click(Item(kCommand3));
    HWND form3 = tovrane_.Window(L"TovraneForm3", kBoundMs);
    ASSERT_NE(form3, nullptr) << "no description window shown within 10 s";
    EXPECT_EQ(Utf8(TextOf(form3)), "程序说明");
    for (const auto& [id, text] : lines) {
        EXPECT_EQ(Utf8(TextOf(GetDlgItem(form3, id))), Utf8(text)) << "id " << id;
    }
    EXPECT_TRUE(WaitUntil([&] { return FocusOf(form3) == GetDlgItem(form3, 101); }, kBoundMs))
        << "the focus is on " << FocusOf(form3) << ", id " << GetDlgCtrlID(FocusOf(form3));
    Click(Item(kCommand3));
    WaitUntil([&] { return tovrane_.Count(L"TovraneForm3") != 1; }, kQuietMs);
    EXPECT_EQ(tovrane_.Count(L"TovraneForm3"), 1) << "after a second click";
}

// Command1 immunises the stick, Command4 every drive, Command5 the drive
// picked or typed in Combo2, and Command2 cleans, then opens, the drive picked
// in Combo1: each whatever stood there, nothing else, and through the
// system's cmd (hostile texts in the fields: robust_tests.cpp).
TEST_F(Commands, EachButtonActsOnExactlyItsDrivesThroughTheSystemCmd) {
    struct Case {
        int button;
        int pick;              // the item chosen in the button's combo box, or -1
        const wchar_t* typed;  // or the text typed into it, or neither
        char before;           // on E:, 'f': a virus's file, 'd': a folder unmarked
        const char* expected;
        wchar_t opened;  // by Command2, or 0
    };
    const Case cases[] = {
        // G: is removable and higher, but an empty slot. Over a folder md
        // fails, and the folder is marked all the same.
        {kCommand1, -1, nullptr, 0, "E:immunised", 0},
        {kCommand1, -1, nullptr, 'f', "E:immunised", 0},
        {kCommand1, -1, nullptr, 'd', "E:immunised", 0},
        {kCommand4, -1, nullptr, 0, "C:immunised D:immunised E:immunised F:immunised",
         0},                                           // not A:
        {kCommand5, 3, nullptr, 0, "D:immunised", 0},  // "D"
        {kCommand5, -1, L"e:", 0, "E:immunised", 0},
        {kCommand5, 0, nullptr, 0, "", 0},  // the placeholder
        {kCommand5, -1, L"", 0, "", 0},
        {kCommand2, 0, nullptr, 'f', "E:file 0x7", 0},  // the placeholder: nothing opened
        {kCommand2, 4, nullptr, 'f', "", L'E'},         // "E"
    };
    const std::wstring e = AutorunOn(L'E');
    ASSERT_TRUE(Start());
    for (const Case& c : cases) {
        HWND combo = Item(c.button == kCommand2 ? kCombo1 : kCombo2);
        ClearAutoruns(kDrives);
        ASSERT_TRUE(c.before != 'f' || PlantAutorun(L'E'));
        ASSERT_TRUE(c.before != 'd' || (CreateDirectoryW(e.c_str(), nullptr) &&
                                        CreateDirectoryW((e + L"\\tirmola").c_str(), nullptr)));
        if (c.typed || c.pick >= 0) {
            ASSERT_TRUE(c.typed ? SetComboText(combo, c.typed) : ChooseComboItem(combo, c.pick));
        }
        const std::string before = Autoruns(kDrives);
        SCOPED_TRACE(NameOf(c.button) + ", its combo box reading \"" + Utf8(TextOf(combo)) +
                     "\", the drives holding \"" + before + "\"");
        Click(Item(c.button));
        EXPECT_EQ(DrivesAfterwards(before, c.expected), c.expected);
        if (c.button == kCommand2) {
            EXPECT_EQ(DriveOpened(c.opened, c.opened ? kBoundMs : 1500), c.opened != 0)
                << "with autorun.inf gone, the real start opens the drive in a window";
        }
        // The window is disabled while it guards, as a user would find it.
        ASSERT_TRUE(tovrane_.Enabled()) << "Tovrane stayed disabled after guarding";
    }
    EXPECT_EQ(Utf8(MessageBoxText(tovrane_.Box(kQuietMs))), "") << "a message box said so";

    // Without this the decoys' silence would prove nothing: a search for cmd
    // finds the one beside the exe first, then the one in the current folder.
    for (const std::wstring& folder : {installed_, work_}) {
        EXPECT_TRUE(StartProgram(L"", L"cmd /c exit").WaitForExit(kBoundMs));
        EXPECT_EQ(ReadAll(kDecoyMarker), "cmd /c exit\r\n") << "no decoy in " << Utf8(folder);
        DeleteFileW((folder + L"\\cmd.exe").c_str());
        DeleteFileW(kDecoyMarker);
    }
}

// Check1 and the startup copy, kelvo.exe in the shell's all-users Startup
// folder. A folder in its place stops the copy even for root, who writes
// through permissions.
TEST_F(StartupChoice, TheBoxShowsWhetherTheCopyIsThereTickingMakesOrRemovesItAndFailuresAreSaid) {
    const std::string original = ReadAll(installed_ + L"\\Tovrane.exe");
    ASSERT_FALSE(original.empty());
    ASSERT_TRUE(CreateDirectoryW(kCopy, nullptr));
    ASSERT_TRUE(Start());
    HWND check = Item(kCheck1);
    EXPECT_FALSE(IsChecked(check)) << "a folder is no startup copy";
    Click(check);
    HWND box = tovrane_.Box(kBoundMs);
    const std::wstring text = MessageBoxText(box);
    EXPECT_NE(text.find(kCopy), std::wstring::npos)
        << "the box says \"" << Utf8(text) << "\" and names no " << Utf8(kCopy);
    PressOk(box);
    EXPECT_TRUE(Gone(box)) << "OK left the box";
    EXPECT_TRUE(WaitUntil([&] { return !IsChecked(check); }, kBoundMs)) << "the box stayed ticked";

    ASSERT_TRUE(RemoveDirectoryW(kCopy));
    Click(check);
    EXPECT_TRUE(WaitUntil([&] { return ReadAll(kCopy) == original; }, kBoundMs))
        << "kelvo.exe holds " << ReadAll(kCopy).size() << " bytes, not the " << original.size()
        << " of Tovrane.exe";
    EXPECT_TRUE(IsChecked(check));
    EXPECT_EQ(Utf8(MessageBoxText(tovrane_.Box(kQuietMs))), "") << "a message box said so";

    ASSERT_TRUE(tovrane_.End());
    ASSERT_TRUE(Start());
    EXPECT_TRUE(IsChecked(Item(kCheck1))) << "unticked at open with the startup copy there";
    Click(Item(kCheck1));
    EXPECT_TRUE(
        WaitUntil([&] { return GetFileAttributesW(kCopy) == INVALID_FILE_ATTRIBUTES; }, kBoundMs))
        << "kelvo.exe stayed";
    EXPECT_FALSE(IsChecked(Item(kCheck1)));
    EXPECT_EQ(Utf8(MessageBoxText(tovrane_.Box(kQuietMs))), "") << "a message box said so";
}

}  // namespace
}  // namespace tovrane::wine
