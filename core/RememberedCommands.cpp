#include "core/RememberedCommands.h"

#include "core/Text.h"

namespace tovrane {

namespace {

RememberedShell ReadShell(Platform& os, const std::wstring& shell) {
    RememberedShell read;
    for (const std::wstring& verb : os.UserSubkeys(shell)) {
        const RegistryText command = os.UserDefaultText(shell + L"\\" + verb + L"\\command");
        read.verbs.push_back({verb, command.present ? command.text : L""});
    }
    read.defaultVerb = os.UserDefaultText(shell);
    return read;
}

// "\\?\Volume{GUID}\" to "{GUID}"; empty for anything else.
std::wstring GuidOf(const std::wstring& volumeName) {
    static const std::wstring kPrefix = L"\\\\?\\Volume";
    if (volumeName.size() < kPrefix.size() + 3 || volumeName.compare(0, kPrefix.size(), kPrefix) ||
        volumeName[kPrefix.size()] != L'{' || volumeName.back() != L'\\') {
        return {};
    }
    const std::wstring guid = volumeName.substr(kPrefix.size(), volumeName.size() - kPrefix.size() - 1);
    // One key name: no separator inside, and closed as it opened.
    if (guid.back() != L'}' || guid.find(L'\\') != std::wstring::npos) {
        return {};
    }
    return guid;
}

}  // namespace

ShellCleanup PlanShellCleanup(const RememberedShell& shell) {
    ShellCleanup cleanup;
    bool defaultStays = false;
    for (const RememberedShell::Verb& verb : shell.verbs) {
        // Registry names compare without regard to case.
        const bool names = shell.defaultVerb.present && SameName(shell.defaultVerb.text, verb.name);
        if (!verb.command.empty()) {
            cleanup.verbs.push_back(verb.name);
        } else if (names) {
            defaultStays = true;  // a verb of Explorer's own, such as Autoplay
        }
    }
    cleanup.defaultVerb = shell.defaultVerb.present && !defaultStays;
    return cleanup;
}

std::vector<std::wstring> RememberedEntries(Platform& os, const DriveLetter& letter) {
    std::vector<std::wstring> entries;
    const std::wstring guid = GuidOf(os.VolumeNameOf(letter + L":\\"));
    if (!guid.empty()) {
        entries.push_back(guid);
    }
    entries.push_back(letter);
    return entries;
}

std::vector<std::wstring> ForgetRememberedCommands(Platform& os, const DriveLetter& letter) {
    std::vector<std::wstring> left;
    if (!IsDriveLetter(letter)) {
        return left;
    }
    for (const std::wstring& entry : RememberedEntries(os, letter)) {
        const std::wstring shell = std::wstring(kMountPoints2) + L"\\" + entry + L"\\Shell";
        const ShellCleanup cleanup = PlanShellCleanup(ReadShell(os, shell));
        for (const std::wstring& verb : cleanup.verbs) {
            os.DeleteUserKey(shell + L"\\" + verb);
        }
        if (cleanup.defaultVerb) {
            os.DeleteUserDefaultValue(shell);
        }
        // Looked at again: only what is really gone lets the drive open.
        for (const RememberedShell::Verb& verb : ReadShell(os, shell).verbs) {
            if (!verb.command.empty()) {
                left.push_back(shell + L"\\" + verb.name);
            }
        }
    }
    return left;
}

}  // namespace tovrane
