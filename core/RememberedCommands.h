// Explorer's memory of a volume's autorun.inf. Explorer keeps, per user and
// per volume it has seen, the shell verbs that the volume's autorun.inf gave:
// under MountPoints2, one entry named by the volume's GUID ("{0123...}") and
// one by its drive letter ("E"), each with Shell\<verb>\command holding a
// command line and Shell's default value naming the verb a double-click
// runs. Windows XP follows a remembered command when the drive is opened,
// even after the file has gone; so does "cmd /c start E:", which runs the
// drive's default verb. Safe open therefore forgets them first.
#pragma once

#include <string>
#include <vector>

#include "core/DriveList.h"
#include "platform/Platform.h"

namespace tovrane {

// Below HKEY_CURRENT_USER.
constexpr wchar_t kMountPoints2[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\MountPoints2";

// One entry's Shell key as read from the registry.
struct RememberedShell {
    struct Verb {
        std::wstring name;
        std::wstring command;  // the default value of Shell\<verb>\command; empty: none
    };
    std::vector<Verb> verbs;
    RegistryText defaultVerb;  // Shell's default value
};

// What forgetting does to one entry: each verb that holds a command goes
// with everything below it; Shell's default value goes when it names one of
// those verbs or a verb that is not there. Everything else stays: Explorer
// writes Shell\Autoplay (its DropTarget), _Autorun (the icon and label) and
// BaseClass for every volume.
struct ShellCleanup {
    std::vector<std::wstring> verbs;
    bool defaultVerb = false;
};
ShellCleanup PlanShellCleanup(const RememberedShell& shell);

// The names of the drive's two entries: its volume GUID's, with braces, when
// the system knows the volume, then its letter's.
std::vector<std::wstring> RememberedEntries(Platform& os, const DriveLetter& letter);

// Forgets the commands remembered for the drive, in both its entries.
// Returns the keys (below HKEY_CURRENT_USER) of the verbs that still hold a
// command afterwards: empty when the drive can be opened without them.
// Does nothing for a value that is not a drive letter.
std::vector<std::wstring> ForgetRememberedCommands(Platform& os, const DriveLetter& letter);

}  // namespace tovrane
