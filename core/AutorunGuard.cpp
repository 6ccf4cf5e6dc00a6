#include "core/AutorunGuard.h"

#include "core/AppInfo.h"
#include "core/DeviceBroadcast.h"
#include "core/RememberedCommands.h"
#include "core/StickRepair.h"
#include "core/Text.h"

namespace tovrane {

namespace {

std::wstring AutorunPath(const DriveLetter& letter) {
    return letter + L":\\autorun.inf";
}

const wchar_t kNotOpened[] = L"为防止其中的病毒随之运行，本程序没有打开 ";

// How many launchers the warning names; the rest are counted.
constexpr std::size_t kLaunchersNamed = 10;

void WarnOfLaunchers(Platform& os, const DriveLetter& letter,
                     const std::vector<std::wstring>& launchers) {
    std::wstring text = letter + L": 盘上有病毒放下的启动器，本程序未能把它们移走（盘可能写保护）：\n\n";
    for (std::size_t i = 0; i < launchers.size() && i < kLaunchersNamed; ++i) {
        text += L"    " + launchers[i] + L"\n";
    }
    if (launchers.size() > kLaunchersNamed) {
        text += L"    还有 " + Decimal(launchers.size() - kLaunchersNamed) + L" 个\n";
    }
    text += L"\n请不要双击它们：它们看上去像你的文件夹或文件，打开的却是病毒。"
            L"\n\n点“确定”后打开 " + letter + L": 盘。";
    os.ShowMessage(text, MessageIcon::Warning, kAppTitle);
}

// cmd is started by its full path: searched for, it would be taken from the
// program's own folder or the current folder first, and Tovrane is often run
// from the very USB stick it is guarding.
std::wstring CommandInterpreter(Platform& os) {
    return os.SystemFolder() + L"\\cmd.exe";
}

}  // namespace

bool RemoveAutorun(Platform& os, const DriveLetter& letter) {
    if (!IsDriveLetter(letter)) {
        return false;
    }
    const std::wstring path = AutorunPath(letter);
    // Deleted straight away: this runs on a stick's arrival, and every call
    // before the file goes leaves it longer for the shell's AutoPlay to read.
    // Deleting cannot harm a folder of that name (the immunisation), it only
    // fails there.
    os.RemoveFile(path);
    // Looked at afterwards, whatever the delete answered: a read-only file
    // resists deletion until its attributes are cleared, and a delete can
    // report success yet leave the file (it goes when the last handle to it
    // closes, and Wine says nothing when that fails). A folder's attributes
    // must stay, or the immunisation would be undone.
    if (os.GetPathKind(path) != PathKind::File) {
        return true;
    }
    os.SetAttributes(path, attr::kNormal);
    os.RemoveFile(path);
    return os.GetPathKind(path) != PathKind::File;
}

bool GuardDrive(Platform& os, const DriveLetter& letter) {
    if (!IsDriveLetter(letter)) {
        return false;
    }
    RemoveAutorun(os, letter);

    // "md" creates both levels at once; the trailing dots are stripped by
    // path normalisation, so the sub-folder is named "tirmola".
    auto md = os.StartProgram(CommandInterpreter(os),
                              L"cmd /c md " + letter + L":\\autorun.inf\\tirmola..",
                              ShowStyle::MinimizedWithFocus);
    if (!md) {
        return false;
    }
    // Marking the folder before "md" has made it would race it. The wait
    // keeps the caller's windows painting (the platform pumps messages while
    // it waits); a command that hangs is given up on after the bound.
    md->WaitForExit(kGuardCommandTimeoutMs);

    // Whatever md answered: on a second run it fails because the folder is
    // already there, and the folder must still end up protected. A file that
    // could not be deleted is never marked.
    const std::wstring path = AutorunPath(letter);
    if (os.GetPathKind(path) != PathKind::Folder) {
        return false;
    }
    return os.SetAttributes(path, attr::kReadOnly | attr::kHidden | attr::kSystem).ok();
}

void SafeOpenDrive(Platform& os, const DriveLetter& letter) {
    if (!IsDriveLetter(letter)) {
        return;
    }
    os.StartProgram(CommandInterpreter(os), L"cmd /c start " + letter + L":",
                    ShowStyle::MinimizedWithFocus);
}

bool OpenDriveSafely(Platform& os, const DriveLetter& letter) {
    if (!IsDriveLetter(letter) || os.DriveTypeOf(letter + L":\\") <= DriveType::NoRootDir) {
        return false;
    }
    // Everything that can be cleaned is, before anything refuses.
    const bool autorunGone = RemoveAutorun(os, letter);
    const std::vector<std::wstring> remembered = ForgetRememberedCommands(os, letter);
    const std::vector<std::wstring> launchers = RepairNow(os, letter, kSafeOpenRepairMs);
    if (!autorunGone) {
        os.ShowMessage(L"未能删除 " + AutorunPath(letter) +
                           L"（盘可能写保护，或文件正被使用）。\n\n" + kNotOpened + letter +
                           L": 盘。",
                       MessageIcon::Warning, kAppTitle);
        return false;
    }
    if (!remembered.empty()) {
        os.ShowMessage(L"Windows 仍记着 " + letter + L": 盘的 autorun.inf 给过的命令，未能删除：\n" +
                           L"HKEY_CURRENT_USER\\" + remembered.front() + L"\n\n" + kNotOpened +
                           letter + L": 盘。",
                       MessageIcon::Warning, kAppTitle);
        return false;
    }
    if (!launchers.empty()) {
        WarnOfLaunchers(os, letter, launchers);
    }
    SafeOpenDrive(os, letter);
    return true;
}

std::wstring CleanArrivedDrives(Platform& os, std::uint32_t unitMask) {
    std::wstring cleaned;
    for (wchar_t c : DriveLettersOf(unitMask)) {
        const DriveLetter letter(1, c);
        const DriveType type = os.DriveTypeOf(letter + L":\\");
        if (type == DriveType::Removable || type == DriveType::Fixed) {
            RemoveAutorun(os, letter);
            cleaned += c;
        }
    }
    return cleaned;
}

std::wstring CleanRemovableDrives(Platform& os) {
    std::wstring cleaned;
    for (const DriveLetter& letter : RemovableDrives(os)) {
        RemoveAutorun(os, letter);
        cleaned += letter;
    }
    return cleaned;
}

}  // namespace tovrane
