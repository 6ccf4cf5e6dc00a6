#include "core/AutorunGuard.h"

namespace tovrane {

namespace {

std::wstring AutorunPath(const DriveLetter& letter) {
    return letter + L":\\autorun.inf";
}

// cmd is started by its full path: searched for, it would be taken from the
// program's own folder or the current folder first, and Tovrane is often run
// from the very USB stick it is guarding.
std::wstring CommandInterpreter(Platform& os) {
    return os.SystemFolder() + L"\\cmd.exe";
}

}  // namespace

void RemoveAutorun(Platform& os, const DriveLetter& letter) {
    if (!IsDriveLetter(letter)) {
        return;
    }
    const std::wstring path = AutorunPath(letter);
    // Only a file is a threat; a folder of that name is the immunisation, and
    // clearing its attributes would undo it.
    if (os.GetPathKind(path) != PathKind::File) {
        return;
    }
    os.SetAttributes(path, attr::kNormal);  // read-only files cannot be deleted
    os.RemoveFile(path);
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

}  // namespace tovrane
