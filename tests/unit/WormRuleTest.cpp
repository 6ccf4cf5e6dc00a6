// The worm rule as a table of stick roots against the plan each one gets.
#include <gtest/gtest.h>

#include <cwctype>
#include <sstream>

#include "core/WormRule.h"

namespace tovrane {
namespace {

constexpr std::uint32_t R = 0x1, H = 0x2, D = 0x10, A = 0x20;
constexpr std::uint32_t HS = 0x6, HSA = HS | A, HSD = HS | D;
const std::wstring kCmd = L"C:\\WINDOWS\\system32\\cmd.exe";

struct Row {
    const char* what;
    std::wstring label;
    std::vector<StickItem> items;
    std::map<std::wstring, Shortcut> shortcuts = {};
    std::map<std::wstring, std::uint32_t> tree = {};  // what lies below the root
    std::wstring plan = {};
};

bool SameText(const std::wstring& a, const std::wstring& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](wchar_t x, wchar_t y) { return std::towlower(x) == std::towlower(y); });
}

// Plans as the caller does: the paths asked for are looked up on the stick
// (without regard to case, as Windows does), and only those are passed in.
std::vector<LauncherPlan> Plan(const Row& row) {
    StickRoot root{L'E', row.label, row.items, row.shortcuts, {}};
    for (const std::wstring& path : PathsToInspect(root)) {
        for (const auto& [there, attributes] : row.tree) {
            if (SameText(path, there)) {
                root.below[path] = attributes;
            }
        }
    }
    return PlanRepair(root);
}

std::wstring Shown(const std::wstring& name) {
    return name.front() == L' ' || name.back() == L' ' ? L"'" + name + L"'" : name;
}

// "Photos.lnk#1 -moved +given back>new name[attributes] =left alone ~elsewhere",
// one launcher after another.
std::wstring Render(const std::vector<LauncherPlan>& plans) {
    std::wostringstream out;
    for (const LauncherPlan& plan : plans) {
        out << (&plan == plans.data() ? L"" : L" | ") << Shown(plan.name) << L'#'
            << static_cast<int>(plan.rule);
        for (const std::wstring& path : plan.moved) {
            out << L" -" << Shown(path);
        }
        for (const GivenBack& item : plan.givenBack) {
            out << L" +" << Shown(item.name);
            if (!item.newName.empty()) {
                out << L'>' << item.newName;
            }
            if (item.attributes) {
                out << L'[' << std::hex << item.attributes << std::dec << L']';
            }
        }
        for (const std::wstring& path : plan.leftAlone) {
            out << L" =" << Shown(path);
        }
        for (const std::wstring& token : plan.elsewhere) {
            out << L" ~" << token;
        }
    }
    return out.str();
}

TEST(WormRule, PlansEachLauncherFromTheStickRoot) {
    // clang-format off
    const Row rows[] = {
        {"folders turned into launchers", L"KINGSTON",
         {{L"Photos", HSD}, {L"Music", HSD}, {L"x.vbs", HSA}, {L"Docs", D}, {L"Photos.lnk", A},
          {L"Music.lnk", A}},
         {{L"Photos.lnk", {{kCmd}, L"/c start wscript x.vbs & start explorer Photos"}},
          {L"Music.lnk", {{kCmd}, L"/c start wscript x.vbs&start explorer Music&explorer Docs"}}},
         {},
         L"Photos.lnk#1 -x.vbs +Photos | Music.lnk#1 +Music =Docs"},
        {"rundll32's dll before the comma", L"KINGSTON",
         {{L"Photos", HSD}, {L"~$WQDE.FAT32", HSA}, {L"Photos.lnk", A}},
         {{L"Photos.lnk", {{L"C:\\WINDOWS\\system32\\rundll32.exe"}, L"~$WQDE.FAT32,_ldr@16"}}},
         {},
         L"Photos.lnk#1 -~$WQDE.FAT32 +Photos"},
        {"a hidden document that start opens is given back, never moved", L"KINGSTON",
         {{L"Notes.lnk", A}, {L"Notes", HSD}, {L"Report.docx", HSA}, {L"Report.docx.lnk", A},
          {L"x.vbs", HSA}},
         {{L"Notes.lnk", {{L"C:\\WINDOWS\\System32\\WScript.exe"}, L"//B Report.docx"}},
          {L"Report.docx.lnk", {{kCmd}, L"/c start wscript x.vbs & start Report.docx"}}},
         {},
         L"Notes.lnk#1 +Notes | Report.docx.lnk#1 -x.vbs +Report.docx[20]"},
        {"a blank hidden folder opened by a launcher named like the label", L"KINGSTON",
         {{L" ", HSD}, {L"KINGSTON.lnk", A}},
         {{L"KINGSTON.lnk",
           {{kCmd, L"%windir%\\system32\\cmd.exe"},
            L"/c start explorer \"%cd%\\ \\\" & start wscript \"%cd%\\ \\x.vbs\" & "
            L"start wscript \"%cd%\\ \\y.vbs\""}}},
         {{L" \\x.vbs", A}, {L" \\y.vbs", HSA}},
         L"KINGSTON.lnk#1 -' \\y.vbs' +' '>已恢复的文件夹 =' \\x.vbs'"},
        {"named like an unlabelled stick: either name, hidden or not", L"",
         {{L" ", HSD}, {L"已恢复的文件夹", D}, {L"Docs", D}, {L"可移动磁盘.lnk", A},
          {L"Removable Disk.lnk", A}},
         {{L"可移动磁盘.lnk", {{kCmd}, L"/c start \"\" \"%cd%\\ \\\" & start Docs"}},
          {L"Removable Disk.lnk", {{L"C:\\WINDOWS\\explorer.exe"}, L"/e,Docs"}}},
         {},
         L"可移动磁盘.lnk#1 +' '>已恢复的文件夹-2 =Docs | Removable Disk.lnk#1 =Docs"},
        {"programs named like hidden items; read-only stays", L"KINGSTON",
         {{L"Photos", HSD | R}, {L"Photos.exe", A}, {L"Report.docx", HSA | R},
          {L"Report.docx.exe", A}, {L"Music", H | D}, {L"Music.exe", A}},
         {},
         {},
         L"Photos.exe#3 +Photos[1] | Report.docx.exe#3 +Report.docx[21]"},
        {"%cd%, X:, .\\ and \\ forms, in either case", L"KINGSTON",
         {{L"Photos", HSD}, {L"a.vbs", HSA}, {L"b.js", HSA}, {L"c.bat", HSA}, {L"d.hta", HSA},
          {L"e.wsf", HSA}, {L"~$f.dat", HSA}, {L"Photos.lnk", A}},
         {{L"Photos.lnk",
           {{kCmd},
            L"/c start %CD%\\A.vbs&start E:\\b.js|e:\\c.bat;start .\\d.hta,\\e.wsf & "
            L"start rundll32 \"%cd%~$f.dat,Run\" & start explorer \"%cd%\\Photos\\\""}}},
         {},
         L"Photos.lnk#1 -a.vbs -b.js -c.bat -d.hta -e.wsf -~$f.dat +Photos"},
        {"names ordinary paths cannot open are given new ones", L"KINGSTON",
         {{L" ", HSD}, {L"Photos.", HSD}, {L"photos", D}, {L"\u00A0", HSD},
          {L"Report.docx ", HSA}, {L"  ", HS}, {L"aux", HSD}, {L"KINGSTON.lnk", A}},
         {{L"KINGSTON.lnk",
           {{kCmd},
            L"/c start explorer \"%cd%\\ \\\" & start explorer \"%cd%\\Photos.\\\" & "
            L"start explorer %cd%\\\u00A0 & start \"%cd%\\Report.docx \" & start \"%cd%\\  \" & "
            L"start explorer aux"}}},
         {},
         L"KINGSTON.lnk#1 +' '>已恢复的文件夹 +Photos.>Photos-2 +\u00A0 "
         L"+'Report.docx '>Report.docx[20] +'  '>已恢复的文件 +aux>已恢复的文件夹-2"},
        {"never-touched names: neither given back, moved nor imitated", L"KINGSTON",
         {{L"RECYCLER", HSD}, {L"System Volume Information", HSD}, {L"FOUND.000", HSD},
          {L"FOUND.000.exe", A}, {L"autorun.inf", HSD | R}, {L"autorun.inf.exe", A},
          {L"desktop.ini", HSA}, {L"Photos", HSD}, {L"Photos.lnk", A}, {L"RECYCLER.lnk", A},
          {L"已隔离的可疑文件", HSD}, {L"已隔离的可疑文件.exe", A}},
         {{L"Photos.lnk",
           {{kCmd},
            L"/c start explorer RECYCLER & start \"System Volume Information\" & "
            L"start wscript RECYCLER\\S-1-5-21\\x.vbs & start desktop.ini & explorer Photos"}},
          {L"RECYCLER.lnk", {{kCmd}, L"/c RECYCLER\\S-1-5-21\\y.exe"}}},
         {{L"RECYCLER\\S-1-5-21", D}, {L"RECYCLER\\S-1-5-21\\x.vbs", A},
          {L"RECYCLER\\S-1-5-21\\y.exe", A}},
         L"Photos.lnk#1 -RECYCLER\\S-1-5-21\\x.vbs +Photos =RECYCLER =System Volume Information "
         L"=desktop.ini | RECYCLER.lnk#1 -RECYCLER\\S-1-5-21\\y.exe"},
        {"tokens that name nothing on the stick; a visible payload; deeper paths", L"KINGSTON",
         {{L"Photos", HSD}, {L"x.vbs", HSA}, {L"Photos.lnk", A}, {L"Music", HSD},
          {L"v.vbs", A}, {L"Music.lnk", A}, {L"Album", HSD}, {L"Album.lnk", A}, {L"Cache", HSD},
          {L"Pics", D}},
         {{L"Photos.lnk",
           {{kCmd},
            L"/c wscript F:\\x.vbs & wscript ..\\x.vbs & wscript .\\..\\x.vbs & "
            L"wscript %temp%\\x.vbs & wscript \\\\server\\s\\x.vbs & wscript %cd%\\..\\x.vbs"}},
          {L"Music.lnk", {{L"C:\\WINDOWS\\system32\\wscript.exe"}, L"v.vbs"}},
          {L"Album.lnk",
           {{kCmd},
            L"/c start /d Cache wscript Pics\\sys\\z.vbs & wscript Pics\\link\\w.vbs & "
            L"wscript Pics\\sys & start Photos.lnk"}}},
         {{L"Pics\\sys", HSD}, {L"Pics\\sys\\z.vbs", A}, {L"Pics\\link", HSD | 0x400},
          {L"Pics\\link\\w.vbs", A}},
         L"Photos.lnk#1 +Photos ~F:\\x.vbs ~..\\x.vbs ~.\\..\\x.vbs ~%temp%\\x.vbs "
         L"~\\\\server\\s\\x.vbs ~%cd%\\..\\x.vbs | Music.lnk#1 +Music =v.vbs | "
         L"Album.lnk#1 -Pics\\sys\\z.vbs +Album =Cache =Pics\\link\\w.vbs =Pics\\sys"},
        {"hosts' payloads in a hidden folder; shortcuts to hidden files", L"KINGSTON",
         {{L" ", HSD}, {L"Docs", HSD}, {L"Docs.lnk", A}, {L"Games", HSD}, {L"Games.lnk", A},
          {L"Music", HSD}, {L"Music.lnk", A}, {L"Notes", HSD}, {L"Notes.lnk", A},
          {L"Photos", HSD}, {L"Photos.lnk", A}, {L"Tools", HSD}, {L"Tools.lnk", A}},
         {{L"Docs.lnk", {{L"F:\\Docs.exe", L".\\ \\d.exe"}, L""}},
          {L"Games.lnk", {{L"E:\\Games"}, L""}},
          {L"Music.lnk",
           {{kCmd},
            L"/c start hh.exe \"%cd%\\ \\h.chm\" & start C:\\Java\\bin\\javaw -Xmx8m -jar "
            L"\"%cd%\\ \\j.dat\" & start mshta \"%cd%\\ \\m.txt\" & start regsvr32 /s "
            L"\"/i:%cd%\\ \\r.sct\" \"%cd%\\ \\r.dll\" & powershell -File \"%cd%\\ \\p.ps1\""}},
          {L"Notes.lnk", {{L"E:\\Notes\\n.exe"}, L""}},
          {L"Photos.lnk",
           {{L"C:\\WINDOWS\\system32\\WSCRIPT.EXE"}, L"//B //E:vbscript \"%cd%\\ \\x.vbs\""}},
          {L"Tools.lnk", {{L"E:\\ \\missing.exe"}, L""}}},
         {{L" \\x.vbs", A}, {L" \\h.chm", A}, {L" \\j.dat", A}, {L" \\m.txt", A},
          {L" \\r.sct", HSA}, {L" \\r.dll", A}, {L" \\p.ps1", A}, {L" \\d.exe", A},
          {L"Notes\\n.exe", A}},
         L"Docs.lnk#2 -' \\d.exe' +Docs ~F:\\Docs.exe | Music.lnk#1 -' \\h.chm' -' \\j.dat' "
         L"-' \\m.txt' -' \\r.dll' +Music =' \\p.ps1' | Notes.lnk#2 +Notes =Notes\\n.exe | "
         L"Photos.lnk#1 -' \\x.vbs' +Photos"},
    };
    // clang-format on
    for (const Row& row : rows) {
        EXPECT_EQ(Render(Plan(row)), row.plan) << row.what;
    }
}

TEST(WormRule, LeavesLayoutsThatComeCloseAlone) {
    // clang-format off
    const Row rows[] = {
        {"a cmd.exe shortcut beside a twin hidden alone", L"KINGSTON",
         {{L"Photos", H | D}, {L"x.vbs", H | A}, {L"Photos.lnk", A}},
         {{L"Photos.lnk", {{kCmd}, L"/c start wscript x.vbs & start explorer Photos"}}}},
        {"PortableApps", L"PORTABLE",
         {{L"Start.exe", A}, {L"PortableApps", D}, {L"Documents", D}, {L"Firefox.lnk", A}},
         {{L"Firefox.lnk", {{L"E:\\PortableApps\\FirefoxPortable\\FirefoxPortable.exe"}, L""}}}},
        {"an encrypted container and its launcher", L"SAFE",
         {{L"Vault.hc", HSA | R}, {L"Vault.exe", A}, {L"Vault.lnk", A}},
         {{L"Vault.lnk", {{L"E:\\Vault.exe"}, L"/v Vault.hc /q"}}}},
        {"a camera card", L"EOS_DIGITAL",
         {{L"DCIM", D | R}, {L"MISC", D}, {L"System Volume Information", HSD}}},
        {"a music player", L"WALKMAN", {{L"SYSTEM", HSD}, {L"Music", D}, {L"Sync.exe", A}}},
        {"a Windows installer", L"CCSA_X86FRE",
         {{L"autorun.inf", A | R}, {L"bootmgr", HSA | R}, {L"setup.exe", A}, {L"boot", D},
          {L"sources", D}}},
        {"a boot stick", L"",
         {{L"ldlinux.sys", HSA | R}, {L"ldlinux.c32", A}, {L"syslinux.cfg", A}}},
        {"chkdsk's finds", L"KINGSTON", {{L"FOUND.000", HSD}, {L"Photos", D}}},
        {"macOS's dot files", L"UNTITLED",
         {{L"._Photos", H | A}, {L".DS_Store", H | A}, {L".Spotlight-V100", H | D},
          {L".fseventsd", H | D}, {L".Trashes", H | D}, {L"Photos", D}}},
        {"an immunised stick", L"KINGSTON", {{L"autorun.inf", HSD | R}, {L"Photos", D}}},
        {"named like the drive on a labelled stick", L"KINGSTON",
         {{L"Docs", D}, {L"可移动磁盘.lnk", A}},
         {{L"可移动磁盘.lnk", {{L"C:\\WINDOWS\\explorer.exe"}, L"Docs"}}}},
        {"named like the label, naming nothing there", L"KINGSTON", {{L"KINGSTON.lnk", A}},
         {{L"KINGSTON.lnk", {{kCmd}, L"/c echo %cd%\\Docs"}}}},
        {"a host shortcut whose other target is hidden", L"KINGSTON",
         {{L"boot.dat", HSA}, {L"Tool.lnk", A}}, {{L"Tool.lnk", {{kCmd, L".\\boot.dat"}, L""}}}},
        {"a shortcut to a visible program, named like a hidden folder", L"KINGSTON",
         {{L"Photos", HSD}, {L"Viewer.exe", A}, {L"Photos.lnk", A}},
         {{L"Photos.lnk", {{L"E:\\Viewer.exe"}, L""}}}},
        {"a folder named like a program; a .lnk left unread; a link as twin", L"KINGSTON",
         {{L"Photos", HSD}, {L"Photos.exe", D}, {L"Photos.lnk", A}, {L"Music", HSD | 0x400},
          {L"Music.exe", A}}},
    };
    // clang-format on
    for (const Row& row : rows) {
        EXPECT_EQ(Render(Plan(row)), L"") << row.what;
    }
}

TEST(WormRule, AsksOnlyForWhatPossibleLaunchersNameBelowTheRoot) {
    StickRoot root;
    root.items = {
        {L" ", HSD}, {L"Docs", D}, {L"Photos", HSD}, {L"Photos.lnk", A}, {L"Docs.lnk", A}};
    root.shortcuts[L"Photos.lnk"] = {
        {kCmd},
        L"/c wscript \"%cd%\\ \\a\\b.vbs\" & wscript \"%CD%\\ \\A\\B.vbs\""
        L" & type Docs\\readme.txt & start x.vbs\\y"};
    root.shortcuts[L"Docs.lnk"] = {{L"E:\\Docs\\tool.exe"},
                                   L""};  // no hidden twin: never a launcher
    EXPECT_EQ(PathsToInspect(root),
              (std::vector<std::wstring>{L" \\a", L" \\a\\b.vbs", L"Docs\\readme.txt"}));

    // However many launchers name, the caller looks up a bounded number;
    // what is beyond is never moved. 25 launchers name 60 files each.
    root.shortcuts.clear();
    for (int i = 0; i < 25; ++i) {
        const std::wstring name = L"F" + std::to_wstring(i);
        root.items.insert(root.items.end(), {{name, HSD}, {name + L".lnk", A}});
        std::wstring& arguments = root.shortcuts[name + L".lnk"].arguments;
        root.shortcuts[name + L".lnk"].targets = {kCmd};
        for (int k = 0; k < 60; ++k) {
            arguments += L" wscript \"%cd%\\ \\" + name + L"-" + std::to_wstring(k) + L".vbs\"";
        }
    }
    const std::vector<std::wstring> paths = PathsToInspect(root);
    ASSERT_EQ(paths.size(), kMaxPathsToInspect);
    for (const std::wstring& path : paths) {
        root.below[path] = A;
    }
    const std::vector<LauncherPlan> plans = PlanRepair(root);
    ASSERT_EQ(plans.size(), 25u);
    EXPECT_EQ(plans[16].moved.size(), 40u);
    EXPECT_EQ(plans[16].moved.back(), L" \\F16-39.vbs");
    EXPECT_EQ(plans[17].moved.size(), 0u);

    // A shortcut's arguments are read up to kMaxTokensRead tokens.
    for (std::size_t padding : {kMaxTokensRead - 3, kMaxTokensRead - 2}) {
        StickRoot stick;
        stick.items = {{L"x.vbs", HSA}, {L"Photos", HSD}, {L"Photos.lnk", A}};
        stick.shortcuts[L"Photos.lnk"] = {{kCmd}, L"/c"};
        for (std::size_t i = 0; i < padding; ++i) {
            stick.shortcuts[L"Photos.lnk"].arguments += L" echo";
        }
        stick.shortcuts[L"Photos.lnk"].arguments += L" wscript x.vbs & exit";
        EXPECT_EQ(PlanRepair(stick).at(0).moved.size(), padding == kMaxTokensRead - 3 ? 1u : 0u)
            << padding;
    }
}

}  // namespace
}  // namespace tovrane
