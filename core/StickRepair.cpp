#include "core/StickRepair.h"

#include <optional>

#include "core/ShellLink.h"
#include "core/Text.h"

namespace tovrane {

namespace {

// Windows' errors for a name that is taken, by a file or by a folder.
constexpr std::uint32_t kFileExists = 80;
constexpr std::uint32_t kAlreadyExists = 183;
// How many "-N" names are tried before a move gives up.
constexpr int kMaxSuffix = 999;

const wchar_t kRecordIntro[] =
    L"这个文件夹是 Tovrane 建立的。\r\n"
    L"\r\n"
    L"Tovrane 在这个 U 盘上发现了快捷方式病毒：它把你的文件夹和文件藏起来（隐藏加系统属性），"
    L"再在原处放上同名的快捷方式或程序，让你以为那就是你的文件夹，双击时运行病毒。\r\n"
    L"\r\n"
    L"Tovrane 把病毒放下的快捷方式、程序和脚本移进了这个文件夹，名字后面加上了 .txt，"
    L"双击只会用记事本打开它们，不会运行；被藏起来的文件夹和文件已重新显示。"
    L"Tovrane 没有删除任何东西，也没有把任何东西复制到电脑上。\r\n"
    L"\r\n"
    L"如何放回：如果下面某一项其实是你自己的文件，把它从这个文件夹移回下面写的原位置，"
    L"再把名字末尾的 .txt 去掉即可。原来的属性和修改时间也写在下面。\r\n";

std::wstring TwoDigits(int n) {
    return {static_cast<wchar_t>(L'0' + n / 10 % 10), static_cast<wchar_t>(L'0' + n % 10)};
}

std::wstring DescribeTime(const LocalTime& t) {
    return Decimal(t.year) + L"-" + TwoDigits(t.month) + L"-" + TwoDigits(t.day) + L" " +
           TwoDigits(t.hour) + L":" + TwoDigits(t.minute) + L":" + TwoDigits(t.second);
}

std::wstring Quoted(const std::wstring& name) {
    return L"“" + name + L"”";
}

std::wstring LastPart(const std::wstring& relative) {
    return relative.substr(relative.find_last_of(L'\\') + 1);
}

std::wstring Widen(Platform& os, const LinkText& text) {
    return text.ansi ? os.FromAnsi(text.bytes) : text.wide;
}

const wchar_t* RuleText(LauncherRule rule) {
    switch (rule) {
        case LauncherRule::ShortcutToHost:
            return L"指向命令程序的快捷方式";
        case LauncherRule::ShortcutToHidden:
            return L"指向被藏文件的快捷方式";
        case LauncherRule::ProgramLikeHidden:
            return L"与被藏项目同名的程序";
    }
    return L"";
}

std::wstring Failed(const OsResult& result) {
    return L"（失败，系统错误 " + Decimal(result.error) + L"）";
}

// Moves `from` to `stem` + `tail`, or when that name is taken to `stem`-2 +
// `tail`, -3...; `chosen` gets the name it went to (relative to the root).
OsResult MoveToFreeName(Platform& os, const std::wstring& root, const std::wstring& from,
                        const std::wstring& stem, const std::wstring& tail, std::wstring& chosen) {
    OsResult moved;
    for (int n = 1; n <= kMaxSuffix; ++n) {
        chosen = stem + (n == 1 ? L"" : L"-" + Decimal(n)) + tail;
        moved = os.MovePath(root + from, root + chosen);
        if (moved || (moved.error != kFileExists && moved.error != kAlreadyExists)) {
            break;
        }
    }
    return moved;
}

}  // namespace

std::wstring DescribeAttributes(std::uint32_t attributes) {
    static const std::pair<std::uint32_t, const wchar_t*> kNames[] = {
        {attr::kReadOnly, L"只读"},       {attr::kHidden, L"隐藏"}, {attr::kSystem, L"系统"},
        {attr::kDirectory, L"文件夹"},    {attr::kArchive, L"存档"},          {attr::kReparsePoint, L"链接"},
    };
    std::wstring text;
    for (const auto& [bit, name] : kNames) {
        if (attributes & bit) {
            text += (text.empty() ? L"" : L"、") + std::wstring(name);
        }
    }
    return text.empty() ? L"无" : text;
}

StickRepair::StickRepair(const DriveLetter& letter) : letter_(letter) {
    root_.letter = letter.empty() ? L'?' : letter[0];
}

std::wstring StickRepair::Path(const std::wstring& relative) const {
    return L"\\\\?\\" + letter_ + L":\\" + relative;
}

bool StickRepair::SameVolume(Platform& os) const {
    const VolumeIdentity now = os.IdentityOf(letter_ + L":\\");
    return now.known && now.serial == volume_.serial && now.label == volume_.label;
}

StickRepair::Progress StickRepair::Step(Platform& os, std::uint32_t budgetMs) {
    if (phase_ == Phase::Finished) {
        return volume_.known ? Progress::Done : Progress::Dropped;
    }
    if (phase_ == Phase::Identify) {
        volume_ = IsDriveLetter(letter_) ? os.IdentityOf(letter_ + L":\\") : VolumeIdentity{};
        listing_ = volume_.known ? os.ListFolder(Path(L"")) : nullptr;
        if (!listing_) {
            volume_.known = false;
            phase_ = Phase::Finished;
            return Progress::Dropped;
        }
        root_.label = volume_.label;
        phase_ = Phase::List;
    } else if (!SameVolume(os)) {
        // Another medium, or none: nothing of this plan fits it.
        volume_.known = false;
        phase_ = Phase::Finished;
        return Progress::Dropped;
    }
    const std::uint32_t start = os.Milliseconds();
    do {
        switch (phase_) {
            case Phase::List:
                if (!ListOne()) {
                    listing_.reset();
                    next_ = 0;
                    phase_ = Phase::ReadShortcuts;
                }
                break;
            case Phase::ReadShortcuts:
                if (!ReadOneShortcut(os)) {
                    inspect_ = PathsToInspect(root_);
                    next_ = 0;
                    phase_ = Phase::Inspect;
                }
                break;
            case Phase::Inspect:
                if (!InspectOne(os)) {
                    plans_ = PlanRepair(root_);
                    next_ = 0;
                    phase_ = Phase::Repair;
                }
                break;
            case Phase::Repair:
                if (!RepairOne(os)) {
                    if (headed_ && !bounds_.empty()) {
                        std::wstring lines;
                        for (const std::wstring& bound : bounds_) {
                            lines += L"未检查完：" + bound + L"\r\n";
                        }
                        Record(os, lines);
                    }
                    phase_ = Phase::Finished;
                    return Progress::Done;
                }
                break;
            case Phase::Identify:
            case Phase::Finished:
                break;
        }
    } while (os.Milliseconds() - start < budgetMs);
    return Progress::Working;
}

bool StickRepair::ListOne() {
    FileEntry entry;
    if (!listing_->Next(entry)) {
        return false;
    }
    if (root_.items.size() == kMaxRootEntries) {
        bounds_.push_back(L"根目录的项目超过 " + Decimal(kMaxRootEntries) + L" 个，其余的没有查看。");
        return false;
    }
    root_.items.push_back({entry.name, entry.attributes});
    entries_.push_back(entry);
    return true;
}

bool StickRepair::ReadOneShortcut(Platform& os) {
    for (; next_ < entries_.size(); ++next_) {
        const FileEntry& entry = entries_[next_];
        if ((entry.attributes & attr::kDirectory) || !EndsWith(entry.name, L".lnk") ||
            entry.size > kMaxShortcutBytes) {
            continue;
        }
        if (root_.shortcuts.size() == kMaxShortcuts) {
            bounds_.push_back(L"快捷方式超过 " + Decimal(kMaxShortcuts) + L" 个，其余的没有读。");
            return false;
        }
        ++next_;
        std::vector<std::uint8_t> bytes;
        Shortcut& shortcut = root_.shortcuts[entry.name];  // read or not, it was looked at
        if (!os.ReadSmallFile(Path(entry.name), kMaxShortcutBytes, bytes)) {
            return true;
        }
        if (const std::optional<ShellLink> link = ReadShellLink(bytes.data(), bytes.size())) {
            for (const LinkText& target : link->targets) {
                shortcut.targets.push_back(Widen(os, target));
            }
            shortcut.arguments = Widen(os, link->arguments);
        }
        return true;
    }
    return false;
}

bool StickRepair::InspectOne(Platform& os) {
    if (next_ == inspect_.size()) {
        return false;
    }
    const std::wstring& relative = inspect_[next_++];
    FileEntry entry;
    if (os.LookUp(Path(relative), entry)) {
        root_.below[relative] = entry.attributes;
    }
    return true;
}

bool StickRepair::QuarantineReady(Platform& os) {
    if (quarantine_ == 0) {
        FileEntry entry;
        const std::wstring path = Path(kQuarantineFolder);
        if (!os.LookUp(path, entry)) {
            const OsResult made = os.MakeFolder(path);
            quarantine_ = made ? 1 : -1;
            quarantineProblem_ = L"无法建立文件夹 " + std::wstring(kQuarantineFolder) + Failed(made);
        } else if (!(entry.attributes & attr::kDirectory)) {
            quarantine_ = -1;
            quarantineProblem_ = std::wstring(kQuarantineFolder) + L" 是一个文件，不是文件夹";
        } else if (entry.attributes & attr::kReparsePoint) {
            // A link would take what is moved into it somewhere else.
            quarantine_ = -1;
            quarantineProblem_ = std::wstring(kQuarantineFolder) + L" 是一个链接，不是普通文件夹";
        } else {
            quarantine_ = 1;
        }
    }
    return quarantine_ == 1;
}

bool StickRepair::Quarantine(Platform& os, const std::wstring& relative, std::wstring& lines) {
    FileEntry before;
    if (!os.LookUp(Path(relative), before)) {
        lines += L"  未移动 " + relative + L"：它已不在了\r\n";
        return false;
    }
    const std::wstring described = L"（原属性：" + DescribeAttributes(before.attributes) +
                                   L"；修改时间：" + DescribeTime(os.LocalTimeOf(before.writeTime)) +
                                   L"）";
    std::wstring to;
    const OsResult moved = MoveToFreeName(os, Path(L""), relative,
                                          std::wstring(kQuarantineFolder) + L"\\" + LastPart(relative),
                                          L".txt", to);
    if (!moved) {
        lines += L"  未能移动 " + relative + described + Failed(moved) + L"\r\n";
        return false;
    }
    os.SetAttributes(Path(to), attr::kNormal);
    lines += L"  已移到这里：" + relative + L" → " + LastPart(to) + described + L"\r\n";
    return true;
}

std::wstring StickRepair::GiveBack(Platform& os, const GivenBack& item) {
    std::uint32_t before = 0;
    for (const StickItem& listed : root_.items) {
        if (listed.name == item.name) {
            before = listed.attributes;
        }
    }
    const std::wstring was = L"（原属性：" + DescribeAttributes(before) + L"）";
    const OsResult shown = os.SetAttributes(Path(item.name), item.attributes);
    if (!shown) {
        return L"  未能恢复显示 " + Quoted(item.name) + was + Failed(shown) + L"\r\n";
    }
    if (item.newName.empty()) {
        return L"  已恢复显示：" + Quoted(item.name) + was + L"\r\n";
    }
    std::wstring name;
    const OsResult renamed = MoveToFreeName(os, Path(L""), item.name, item.newName, L"", name);
    if (!renamed) {
        return L"  已恢复显示 " + Quoted(item.name) + was + L"，但未能改名" + Failed(renamed) + L"\r\n";
    }
    return L"  已恢复显示并改名：" + Quoted(item.name) + L" → " + Quoted(name) + was + L"\r\n";
}

bool StickRepair::RepairOne(Platform& os) {
    if (next_ == plans_.size()) {
        return false;
    }
    const LauncherPlan& plan = plans_[next_++];
    std::wstring lines = L"病毒的启动器 " + Quoted(plan.name) + L"（" + RuleText(plan.rule) + L"）\r\n";
    if (QuarantineReady(os)) {
        if (!Quarantine(os, plan.name, lines)) {
            left_.push_back(plan.name);
        }
        for (const std::wstring& payload : plan.moved) {
            Quarantine(os, payload, lines);
        }
    } else {
        left_.push_back(plan.name);
        lines += L"  没有移动任何东西：" + quarantineProblem_ + L"\r\n";
    }
    for (const GivenBack& item : plan.givenBack) {
        lines += GiveBack(os, item);
    }
    for (const std::wstring& alone : plan.leftAlone) {
        lines += L"  没有动：" + alone + L"\r\n";
    }
    for (const std::wstring& token : plan.elsewhere) {
        lines += L"  没有动（不在这个 U 盘上）：" + token + L"\r\n";
    }
    Record(os, lines);
    return true;
}

void StickRepair::Record(Platform& os, const std::wstring& lines) {
    if (quarantine_ != 1) {
        return;  // there is nowhere on the stick to write it
    }
    const std::wstring path = Path(std::wstring(kQuarantineFolder) + L"\\" + kRecordFile);
    std::wstring text;
    if (!headed_) {
        FileEntry existing;
        if (!os.LookUp(path, existing)) {
            text = kRecordIntro;
        }
        const std::wstring label =
            volume_.label.empty() ? L"没有卷标" : L"卷标 " + Quoted(volume_.label);
        text += L"\r\n==== " + DescribeTime(os.Now()) + L"  " + letter_ + L": 盘（" + label +
                L"）====\r\n";
        headed_ = true;
    }
    os.AppendText(path, text + lines);
}

bool IsStickDrive(Platform& os, const DriveLetter& letter) {
    if (!IsDriveLetter(letter)) {
        return false;
    }
    const std::wstring root = letter + L":\\";
    switch (os.DriveTypeOf(root)) {
        case DriveType::Removable:
            return true;
        case DriveType::Fixed: {
            const std::wstring windows = os.WindowsFolder();
            const bool holdsWindows = !windows.empty() && (windows[0] | 0x20) == (letter[0] | 0x20);
            return !holdsWindows && os.IsUsbDisk(root);
        }
        default:
            return false;
    }
}

std::vector<std::wstring> RepairNow(Platform& os, const DriveLetter& letter, std::uint32_t boundMs) {
    if (!IsStickDrive(os, letter)) {
        return {};
    }
    StickRepair repair(letter);
    const std::uint32_t start = os.Milliseconds();
    std::uint32_t spent = 0;
    while (repair.Step(os, boundMs - spent) == StickRepair::Progress::Working) {
        spent = os.Milliseconds() - start;
        if (spent >= boundMs) {
            break;
        }
    }
    return repair.LaunchersLeft();
}

}  // namespace tovrane
