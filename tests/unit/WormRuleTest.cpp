// The worm rule as a table of stick roots against the plan each one gets.
#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <sstream>

#include "core/WormRule.h"

namespace tovrane {
namespace {

const std::wstring kCmd = L"C:\\WINDOWS\\system32\\cmd.exe";

Shortcut Cmd(const std::wstring& arguments) {
    return {{kCmd}, arguments};
}

// "name:attributes|...", the attributes as letters, a name alone being an
// archived file: "Photos:HSD|x.vbs:RHSA|Photos.lnk".
std::vector<StickItem> Items(const std::wstring& list) {
    const std::wstring letters = L"RHS.DA....L";  // attribute bit i as letter i: L a link
    std::vector<StickItem> items;
    for (std::size_t at = 0, end = 0; end < list.size(); at = end + 1) {
        end = std::min(list.find(L'|', at), list.size());
        const std::size_t colon = std::min(list.find(L':', at), end);
        items.push_back({list.substr(at, colon - at), colon == end ? 0x20u : 0});
        for (std::size_t i = colon + 1; i < end; ++i) {
            items.back().attributes |= 1u << letters.find(list[i]);
        }
    }
    return items;
}

struct Row {
    const char* what;
    std::wstring items;
    std::map<std::wstring, Shortcut> shortcuts = {};
    std::wstring tree = {}, plan = {};  // the tree: what lies below the root, as `items`
    std::wstring label = L"KINGSTON";
};

std::wstring Lower(std::wstring text) {
    std::transform(text.begin(), text.end(), text.begin(), std::towlower);
    return text;
}

// Plans as the caller does: the paths asked for are looked up on the stick
// (without regard to case, as Windows does), and only those are passed in.
std::vector<LauncherPlan> Plan(const Row& row) {
    StickRoot root{L'E', row.label, Items(row.items), row.shortcuts, {}};
    for (const std::wstring& path : PathsToInspect(root)) {
        for (const StickItem& there : Items(row.tree)) {
            if (Lower(path) == Lower(there.name)) {
                root.below[path] = there.attributes;
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
    const auto list = [&](const wchar_t* mark, const std::vector<std::wstring>& paths) {
        for (const std::wstring& path : paths) {
            out << mark << Shown(path);
        }
    };
    for (const LauncherPlan& plan : plans) {
        out << (&plan == plans.data() ? L"" : L" | ") << Shown(plan.name) << L'#'
            << static_cast<int>(plan.rule);
        list(L" -", plan.moved);
        for (const GivenBack& item : plan.givenBack) {
            out << L" +" << Shown(item.name) << (item.newName.empty() ? L"" : L">") << item.newName;
            if (item.attributes) {
                out << L'[' << std::hex << item.attributes << std::dec << L']';
            }
        }
        list(L" =", plan.leftAlone);
        list(L" ~", plan.elsewhere);
    }
    return out.str();
}

TEST(WormRule, PlansEachLauncherFromTheStickRootAndLeavesLayoutsThatComeCloseAlone) {
    // clang-format off
    const Row rows[] = {
        {"folders turned into launchers",
         L"Photos:HSD|Music:HSD|x.vbs:HSA|Docs:HSD|Pics:D|Photos.lnk|Music.lnk",
         {{L"Photos.lnk", Cmd(L"/c start wscript x.vbs & start explorer Photos")},
          {L"Music.lnk", Cmd(L"/c wscript x.vbs&start explorer Music&explorer Docs&start Pics")}},
         L"", L"Photos.lnk#1 -x.vbs +Photos | Music.lnk#1 +Music +Docs =Pics"},
        {"rundll32's dll before the comma", L"Photos:HSD|~$WQDE.FAT32:HSA|Photos.lnk",
         {{L"Photos.lnk", {{L"C:\\WINDOWS\\system32\\rundll32.exe"}, L"~$WQDE.FAT32,_ldr@16"}}},
         L"", L"Photos.lnk#1 -~$WQDE.FAT32 +Photos"},
        {"a hidden document that start opens is given back, never moved",
         L"Notes.lnk|Notes:HSD|Report.docx:HSA|Report.docx.lnk|x.vbs:HSA",
         {{L"Notes.lnk", {{L"C:\\WINDOWS\\System32\\WScript.exe"}, L"//B Report.docx"}},
          {L"Report.docx.lnk", Cmd(L"/c start wscript x.vbs & start Report.docx")}},
         L"", L"Notes.lnk#1 +Notes | Report.docx.lnk#1 -x.vbs +Report.docx[20]"},
        {"a blank hidden folder that a launcher named like the label runs from",
         L" :HSD|Kingston.lnk",
         {{L"Kingston.lnk", {{kCmd, L"%windir%\\system32\\cmd.exe"},
                             L"/c wscript \"%cd%\\ \\x.vbs\" & start wscript \"%cd%\\ \\y.vbs\""}}},
         L" \\x.vbs| \\y.vbs:HSA", L"Kingston.lnk#1 -' \\y.vbs' +' '>已恢复的文件夹 =' \\x.vbs'"},
        {"named like an unlabelled stick: either name, hidden or not",
         L" :HSD|已恢复的文件夹:D|Docs:D|可移动磁盘.lnk|Removable Disk.lnk",
         {{L"可移动磁盘.lnk", Cmd(L"/c start \"\" \"%cd%\\ \\\" & start Docs")},
          {L"Removable Disk.lnk", {{L"C:\\WINDOWS\\explorer.exe"}, L"/e,Docs"}}},
         L"", L"可移动磁盘.lnk#1 +' '>已恢复的文件夹-2 =Docs | Removable Disk.lnk#1 =Docs", L""},
        {"programs named like hidden items; read-only stays",
         L"Photos:RHSD|Photos.exe|Report.docx:RHSA|Report.docx.exe|Music:HD|Music.exe", {},
         L"", L"Photos.exe#3 +Photos[1] | Report.docx.exe#3 +Report.docx[21]"},
        {"%cd%, X:, .\\ and \\ forms, in either case",
         L"Photos:HSD|a.vbs:HSA|b.js:HSA|c.bat:HSA|d.hta:HSA|e.wsf:HSA|~$f.dat:HSA|Photos.lnk",
         {{L"Photos.lnk", Cmd(L"/c start %CD%\\A.vbs&start E:\\b.js|e:\\c.bat;start .\\d.hta,"
                              L"\\e.wsf & start rundll32 \"%cd%~$f.dat,Run\" & explorer "
                              L"\"%cd%\\Photos\\\"")}},
         L"", L"Photos.lnk#1 -a.vbs -b.js -c.bat -d.hta -e.wsf -~$f.dat +Photos"},
        {"names ordinary paths cannot open are given new ones",
         L" :HSD|Photos.:HSD|photos:D|\u00A0:HSD|Report.docx :HSA|  :HS|aux:HSD|lpt1.txt:HSA|"
         L"KINGSTON.lnk",
         {{L"KINGSTON.lnk", Cmd(L"/c start explorer \"%cd%\\ \\\" & start explorer "
                                L"\"%cd%\\Photos.\\\" & start explorer %cd%\\\u00A0 & start "
                                L"\"%cd%\\Report.docx \" & start \"%cd%\\  \" & explorer aux & "
                                L"start lpt1.txt")}},
         L"", L"KINGSTON.lnk#1 +' '>已恢复的文件夹 +Photos.>Photos-2 +\u00A0 "
              L"+'Report.docx '>Report.docx[20] +'  '>已恢复的文件 +aux>已恢复的文件夹-2 "
              L"+lpt1.txt>已恢复的文件.txt[20]"},
        {"never-touched names: neither given back, moved nor imitated",
         L"RECYCLER:HSD|System Volume Information:HSD|FOUND.000:HSD|FOUND.000.exe|desktop.ini:HSA|"
         L"autorun.inf:RHSD|autorun.inf.exe|$RECYCLE.BIN:HSD|Photos:HSD|Photos.lnk|RECYCLER.lnk|"
         L"已隔离的可疑文件:HSD|已隔离的可疑文件.exe",
         {{L"Photos.lnk", Cmd(L"/c explorer RECYCLER & explorer $RECYCLE.BIN & start \"System "
                              L"Volume Information\" & wscript RECYCLER\\S-1\\x.vbs & start "
                              L"desktop.ini & start Photos")},
          {L"RECYCLER.lnk", Cmd(L"/c RECYCLER\\S-1\\y.exe")}},
         L"RECYCLER\\S-1:D|RECYCLER\\S-1\\x.vbs|RECYCLER\\S-1\\y.exe",
         L"Photos.lnk#1 -RECYCLER\\S-1\\x.vbs +Photos =RECYCLER =$RECYCLE.BIN "
         L"=System Volume Information =desktop.ini | RECYCLER.lnk#1 -RECYCLER\\S-1\\y.exe"},
        {"tokens that name nothing on the stick; a visible payload; deeper paths",
         L"Photos:HSD|x.vbs:HSA|Photos.lnk|Music:HSD|v.vbs|Music.lnk|Album:HSD|Album.lnk|Cache:HSD|"
         L"Pics:D",
         {{L"Photos.lnk", Cmd(L"/c wscript F:\\x.vbs & wscript ..\\x.vbs & wscript %cd%\\..\\x.vbs"
                              L" & wscript %temp%\\x.vbs & wscript \\\\server\\s\\x.vbs")},
          {L"Music.lnk", {{L"C:/WINDOWS/system32/wscript.exe"}, L"v.vbs"}},
          {L"Album.lnk", Cmd(L"/c start /d Cache wscript Pics\\sys\\z.vbs & wscript "
                             L"Pics\\link\\w.vbs & wscript Pics\\sys & wscript Pics\\gone.vbs & "
                             L"start Photos.lnk")}},
         L"Pics\\sys:HSD|Pics\\sys\\z.vbs|Pics\\link:HSDL|Pics\\link\\w.vbs",
         L"Photos.lnk#1 +Photos ~F:\\x.vbs ~..\\x.vbs ~%cd%\\..\\x.vbs ~%temp%\\x.vbs "
         L"~\\\\server\\s\\x.vbs | Music.lnk#1 +Music =v.vbs | "
         L"Album.lnk#1 -Pics\\sys\\z.vbs +Album =Cache =Pics\\link\\w.vbs =Pics\\sys"},
        {"hosts' payloads in a hidden folder; shortcuts to hidden files",
         L" :HSD|Docs:HSD|Docs.lnk|Games:HSD|Games.lnk|Music:HSD|Music.lnk|Notes:HSD|Notes.lnk|"
         L"Photos:HSD|Photos.lnk|Tools:HSD|Tools.lnk",
         {{L"Docs.lnk", {{L"F:\\Docs.exe", L".\\ \\d.exe"}, L""}},
          {L"Games.lnk", {{L"E:\\Games"}, L""}},
          {L"Music.lnk", Cmd(L"/c start hh.exe \"%cd%\\ \\h.chm\" & start C:\\Java\\bin\\javaw "
                             L"-Xmx8m -jar \"%cd%\\ \\j.dat\" & start mshta \"%cd%\\ \\m.txt\" & "
                             L"start regsvr32 /s \"/i:%cd%\\ \\r.sct\" \"%cd%\\ \\r.dll\" & "
                             L"powershell -File \"%cd%\\ \\p.ps1\"")},
          {L"Notes.lnk", {{L"E:\\Notes\\n.exe"}, L""}},
          {L"Photos.lnk", {{L"C:\\WINDOWS\\WSCRIPT.EXE"}, L"//B //E:vbs \"%cd%\\ \\x.vbs\""}},
          {L"Tools.lnk", {{L"E:\\ \\missing.exe"}, L""}}},
         L" \\x.vbs| \\h.chm| \\j.dat| \\m.txt| \\r.sct:HSA| \\r.dll| \\p.ps1| \\d.exe|"
         L"Notes\\n.exe",
         L"Docs.lnk#2 -' \\d.exe' +Docs ~F:\\Docs.exe | Music.lnk#1 -' \\h.chm' -' \\j.dat' "
         L"-' \\m.txt' -' \\r.dll' +Music =' \\p.ps1' | Notes.lnk#2 +Notes =Notes\\n.exe | "
         L"Photos.lnk#1 -' \\x.vbs' +Photos"},
        // Layouts that come close, each as its owner keeps it: no plan at all.
        {"a cmd.exe shortcut beside a twin hidden alone", L"Photos:HD|x.vbs:HA|Photos.lnk",
         {{L"Photos.lnk", Cmd(L"/c start wscript x.vbs & start explorer Photos")}}},
        {"PortableApps", L"Start.exe|PortableApps:D|Documents:D|Firefox.lnk",
         {{L"Firefox.lnk", {{L"E:\\PortableApps\\FirefoxPortable\\FirefoxPortable.exe"}, L""}}}},
        {"an encrypted container and its launcher", L"Vault.hc:RHSA|Vault.exe|Vault.lnk",
         {{L"Vault.lnk", {{L"E:\\Vault.exe"}, L"/v Vault.hc /q"}}}},
        {"a camera card", L"DCIM:RD|MISC:D|System Volume Information:HSD"},
        {"a music player", L"SYSTEM:HSD|Music:D|Sync.exe"},
        {"a Windows installer", L"autorun.inf:RA|bootmgr:RHSA|setup.exe|boot:D|sources:D"},
        {"a boot stick", L"ldlinux.sys:RHSA|ldlinux.c32|syslinux.cfg"},
        {"chkdsk's finds", L"FOUND.000:HSD|Photos:D"},
        {"macOS's dot files",
         L"._Photos:HA|.DS_Store:HA|.Spotlight-V100:HD|.fseventsd:HD|.Trashes:HD|Photos:D"},
        {"an immunised stick", L"autorun.inf:RHSD|Photos:D"},
        {"named like the drive on a labelled stick", L"Docs:D|可移动磁盘.lnk",
         {{L"可移动磁盘.lnk", {{L"C:\\WINDOWS\\explorer.exe"}, L"Docs"}}}},
        {"named like the label, naming nothing there", L"KINGSTON.lnk",
         {{L"KINGSTON.lnk", Cmd(L"/c echo %cd%\\Docs")}}},
        {"a host shortcut whose other target is hidden", L"boot.dat:HSA|Tool.lnk",
         {{L"Tool.lnk", {{kCmd, L".\\boot.dat"}, L""}}}},
        {"a shortcut to a visible program, named like a hidden folder",
         L"Photos:HSD|Viewer.exe|Photos.lnk", {{L"Photos.lnk", {{L"E:\\Viewer.exe"}, L""}}}},
        {"a folder named like a program; a .lnk left unread; a link as twin",
         L"Photos:HSD|Photos.exe:D|Photos.lnk|Music:HSDL|Music.exe"},
    };
    // clang-format on
    for (const Row& row : rows) {
        EXPECT_EQ(Render(Plan(row)), row.plan) << row.what;
    }
}

TEST(WormRule, AsksOnlyForWhatPossibleLaunchersNameBelowTheRoot) {
    StickRoot root{
        L'E', L"", Items(L" :HSD|Docs:D|Link:HSDL|Photos:HSD|Photos.lnk|Docs.lnk"), {}, {}};
    root.shortcuts = {
        {L"Photos.lnk", Cmd(L"/c wscript \"%cd%\\ \\a\\b.vbs\" & wscript \"%CD%\\ \\A\\B.vbs\" & "
                            L"type Docs\\readme.txt & start x.vbs\\y & wscript Link\\z.vbs")},
        {L"Docs.lnk", {{L"E:\\Docs\\tool.exe"}, L""}}};  // no hidden twin: no launcher
    EXPECT_EQ(PathsToInspect(root),
              (std::vector<std::wstring>{L" \\a", L" \\a\\b.vbs", L"Docs\\readme.txt"}));

    // However many launchers name, the caller looks up a bounded number;
    // what is beyond is never moved. 25 launchers name 60 files each.
    root.shortcuts.clear();
    for (int i = 0; i < 25; ++i) {
        const std::wstring name = L"F" + std::to_wstring(i);
        root.items.insert(root.items.end(), {{name, 0x16}, {name + L".lnk", 0x20}});
        Shortcut& shortcut = root.shortcuts[name + L".lnk"] = Cmd(L"");
        for (int k = 0; k < 60; ++k) {
            shortcut.arguments +=
                L" wscript \"%cd%\\ \\" + name + L"-" + std::to_wstring(k) + L".vbs\"";
        }
    }
    const std::vector<std::wstring> paths = PathsToInspect(root);
    ASSERT_EQ(paths.size(), kMaxPathsToInspect);
    for (const std::wstring& path : paths) {
        root.below[path] = 0x20;
    }
    const std::vector<LauncherPlan> plans = PlanRepair(root);
    ASSERT_EQ(plans.size(), 25u);
    EXPECT_EQ(plans[16].moved.size(), 40u);
    EXPECT_EQ(plans[16].moved.back(), L" \\F16-39.vbs");
    EXPECT_EQ(plans[17].moved.size(), 0u);

    // A shortcut's arguments are read up to kMaxTokensRead tokens.
    for (std::size_t padding : {kMaxTokensRead - 3, kMaxTokensRead - 2}) {
        std::wstring arguments = L"/c";
        for (std::size_t i = 0; i < padding; ++i) {
            arguments += L" echo";
        }
        const Row row{"",
                      L"x.vbs:HSA|Photos:HSD|Photos.lnk",
                      {{L"Photos.lnk", Cmd(arguments + L" wscript x.vbs & exit")}}};
        EXPECT_EQ(Render(Plan(row)), padding == kMaxTokensRead - 3 ? L"Photos.lnk#1 -x.vbs +Photos"
                                                                   : L"Photos.lnk#1 +Photos")
            << padding;
    }
}

}  // namespace
}  // namespace tovrane
