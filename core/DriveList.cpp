#include "core/DriveList.h"

#include <algorithm>

namespace tovrane {

std::wstring ListDriveRoots(Platform& os) {
    std::wstring roots = os.LogicalDriveStrings();
    roots.erase(std::remove(roots.begin(), roots.end(), L'\0'), roots.end());
    return roots;
}

std::vector<DriveLetter> SplitDriveLetters(const std::wstring& roots) {
    std::vector<DriveLetter> tokens;
    if (roots.empty()) {
        return tokens;
    }
    std::wstring rest = roots;
    rest.erase(std::remove(rest.begin(), rest.end(), L'A'), rest.end());

    static const std::wstring kSeparator = L":\\";
    std::size_t start = 0;
    for (;;) {
        const std::size_t at = rest.find(kSeparator, start);
        if (at == std::wstring::npos) {
            tokens.push_back(rest.substr(start));
            return tokens;
        }
        tokens.push_back(rest.substr(start, at - start));
        start = at + kSeparator.size();
    }
}

std::vector<DriveLetter> RemovableDrives(Platform& os) {
    std::vector<DriveLetter> found;
    for (const DriveLetter& token : SplitDriveLetters(ListDriveRoots(os))) {
        // An empty token would ask about ":\", which is no drive at all.
        if (token.empty()) {
            continue;
        }
        const std::wstring root = token + L":\\";
        // Card readers show an empty slot as a removable drive; only a drive
        // with a medium in it can be the stick that was just plugged in.
        if (os.DriveTypeOf(root) == DriveType::Removable && os.HasMedium(root)) {
            found.push_back(token);
        }
    }
    return found;
}

DriveLetter FindRemovableDrive(Platform& os) {
    const std::vector<DriveLetter> drives = RemovableDrives(os);
    return drives.empty() ? DriveLetter() : drives.back();
}

bool IsDriveLetter(const DriveLetter& letter) {
    return letter.size() == 1 && letter[0] >= L'A' && letter[0] <= L'Z';
}

DriveLetter ParseDriveLetter(const std::wstring& text) {
    const std::size_t first = text.find_first_not_of(L' ');
    if (first == std::wstring::npos) {
        return {};
    }
    const std::size_t last = text.find_last_not_of(L' ');
    const std::wstring body = text.substr(first, last - first + 1);

    const std::wstring suffix = body.substr(1);
    if (!suffix.empty() && suffix != L":" && suffix != L":\\") {
        return {};
    }
    wchar_t c = body[0];
    if (c >= L'a' && c <= L'z') {
        c = static_cast<wchar_t>(c - L'a' + L'A');
    }
    if (c < L'A' || c > L'Z') {
        return {};
    }
    return DriveLetter(1, c);
}

}  // namespace tovrane
