#include "core/WormRule.h"

#include <algorithm>
#include <set>
#include <string_view>

#include "core/Text.h"

namespace tovrane {

namespace {

using std::wstring_view;

constexpr std::size_t kNoItem = static_cast<std::size_t>(-1);
constexpr std::uint32_t kHiddenSystem = attr::kHidden | attr::kSystem;
// What SetFileAttributesW sets besides hidden and system: read-only, archive,
// temporary, offline and not-content-indexed.
constexpr std::uint32_t kSettable = attr::kReadOnly | attr::kArchive | 0x100 | 0x1000 | 0x2000;

bool IsHidden(std::uint32_t attributes) {
    return (attributes & kHiddenSystem) == kHiddenSystem;
}
bool IsFolder(std::uint32_t attributes) {
    return (attributes & attr::kDirectory) != 0;
}
bool IsLink(std::uint32_t attributes) {
    return (attributes & attr::kReparsePoint) != 0;
}

// Root items of the system and of other tools: whatever they hold, they are
// never moved, given back or imitated.
bool IsNeverTouched(wstring_view name) {
    static const wchar_t* const kNames[] = {
        L"System Volume Information",
        L"RECYCLER",
        L"RECYCLED",
        L"$RECYCLE.BIN",
        L"desktop.ini",
        L"autorun.inf",
        L".Trashes",
        kQuarantineFolder,
    };
    for (const wchar_t* never : kNames) {
        if (SameName(name, never)) {
            return true;
        }
    }
    return StartsWith(name, L"FOUND.");  // chkdsk's FOUND.000, FOUND.001...
}

// A link (reparse point) is neither changed nor followed: what lies behind it
// may not be on the stick at all.
bool IsTouchable(const StickItem& item) {
    return !IsNeverTouched(item.name) && !IsLink(item.attributes);
}

// The length of the name's program extension (".exe"), 0 when it has none.
std::size_t ProgramExtension(wstring_view name) {
    static const wchar_t* const kTypes[] = {
        L".exe", L".scr", L".pif", L".com", L".bat", L".cmd", L".vbs",
        L".vbe", L".js",  L".jse", L".wsf", L".hta", L".cpl", L".jar",
    };
    for (const wchar_t* type : kTypes) {
        if (EndsWith(name, type)) {
            return wstring_view(type).size();
        }
    }
    return 0;
}

// What a command host does with the first argument that is not a switch.
enum class Host { None, Other, RunsFile, Rundll, Java, Opens };

// A command host is known by its file name, with or without ".exe" and a
// folder: "wscript", "WScript.exe", "%windir%\system32\wscript.exe".
Host HostOf(wstring_view path) {
    struct Known {
        const wchar_t* name;
        Host host;
    };
    static const Known kHosts[] = {
        {L"cmd", Host::Other},        {L"wscript", Host::RunsFile}, {L"cscript", Host::RunsFile},
        {L"mshta", Host::RunsFile},   {L"rundll32", Host::Rundll},  {L"regsvr32", Host::RunsFile},
        {L"powershell", Host::Other}, {L"msiexec", Host::Other},    {L"hh", Host::RunsFile},
        {L"wmic", Host::Other},       {L"forfiles", Host::Other},   {L"conhost", Host::Other},
        {L"explorer", Host::Opens},   {L"javaw", Host::Java},
    };
    const std::size_t slash = path.find_last_of(L"\\/");
    wstring_view file = slash == wstring_view::npos ? path : path.substr(slash + 1);
    if (EndsWith(file, L".exe")) {
        file.remove_suffix(4);
    }
    for (const Known& known : kHosts) {
        if (SameName(file, known.name)) {
            return known.host;
        }
    }
    return Host::None;
}

bool IsSeparator(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'\v' || c == L'\f' ||
           c == L'&' || c == L'|' || c == L',' || c == L';';
}

// Splits on white space and the command separators outside quotes, then drops
// the quotes. Quotes around nothing, as start's empty title, leave no token.
// Stops at kMaxTokensRead.
std::vector<std::wstring> Tokenize(wstring_view arguments) {
    std::vector<std::wstring> tokens(1);
    bool quoted = false;
    for (wchar_t c : arguments) {
        if (tokens.size() > kMaxTokensRead) {
            break;
        }
        if (c == L'"') {
            quoted = !quoted;
        } else if (quoted || !IsSeparator(c)) {
            tokens.back() += c;
        } else if (!tokens.back().empty()) {
            tokens.emplace_back();
        }
    }
    if (tokens.back().empty() || tokens.size() > kMaxTokensRead) {
        tokens.pop_back();
    }
    return tokens;
}

// The stick as the rule reads it: the root's items by folded name, and the
// attributes looked up below it by folded path.
struct Stick {
    explicit Stick(const StickRoot& stickRoot) : root(stickRoot) {
        for (std::size_t i = 0; i < root.items.size(); ++i) {
            names.emplace(Folded(root.items[i].name), i);
        }
        for (const auto& [path, attributes] : root.below) {
            below.emplace(Folded(path), attributes);
        }
    }
    std::size_t Find(wstring_view name) const {
        const auto found = names.find(Folded(name));
        return found == names.end() ? kNoItem : found->second;
    }
    const StickRoot& root;
    std::map<std::wstring, std::size_t> names;
    std::map<std::wstring, std::uint32_t> below;
};

// What a token or a target names.
struct Place {
    enum Kind { Nothing, Elsewhere, OnStick } kind = Nothing;
    std::size_t item = kNoItem;       // the root item, on the stick
    std::vector<std::wstring> below;  // the path below it, one name each
};

Place Resolve(wstring_view token, const Stick& stick) {
    Place place;
    if (token.find(L"..") != wstring_view::npos || token.find(L"\\\\") != wstring_view::npos) {
        place.kind = Place::Elsewhere;
        return place;
    }
    wstring_view rest = token;
    if (StartsWith(rest, L"%cd%")) {
        // At the root %cd% is "X:\", so "%cd%x" names x as "%cd%\x" does.
        rest.remove_prefix(4);
    } else if (rest.size() >= 2 && rest[1] == L':') {
        if (FoldCase(rest[0]) != FoldCase(stick.root.letter)) {
            place.kind = Place::Elsewhere;
            return place;
        }
        // "X:x" names x in X:'s current folder; read as in the root, as a
        // plain "x" is.
        rest.remove_prefix(2);
    }
    if (rest.find(L'%') != wstring_view::npos) {
        place.kind = Place::Elsewhere;  // another variable: could be anywhere
        return place;
    }
    while (!rest.empty()) {
        const std::size_t slash = std::min(rest.find(L'\\'), rest.size());
        const wstring_view part = rest.substr(0, slash);
        if (!part.empty() && part != L".") {
            place.below.emplace_back(part);
        }
        rest.remove_prefix(std::min(slash + 1, rest.size()));
    }
    place.item = place.below.empty() ? kNoItem : stick.Find(place.below.front());
    if (place.item == kNoItem) {
        return Place{};
    }
    place.kind = Place::OnStick;
    place.below.erase(place.below.begin());
    return place;
}

// The path of what a place on the stick names, relative to the root, down to
// `depth` names below the root item.
std::wstring PathOf(const Stick& stick, const Place& place, std::size_t depth) {
    std::wstring path = stick.root.items[place.item].name;
    for (std::size_t i = 0; i < depth; ++i) {
        path += L'\\';
        path += place.below[i];
    }
    return path;
}

std::wstring PathOf(const Stick& stick, const Place& place) {
    return PathOf(stick, place, place.below.size());
}

bool Exists(const Stick& stick, const Place& place) {
    return place.below.empty() || stick.below.count(Folded(PathOf(stick, place)));
}

// A file on the stick, reached through no link, that is hidden itself or lies
// inside a hidden folder. A root folder being given back counts as visible.
bool IsHiddenFile(const Stick& stick, const Place& place, bool rootGivenBack) {
    const std::uint32_t top = stick.root.items[place.item].attributes;
    if (IsLink(top)) {
        return false;
    }
    if (place.below.empty()) {
        return !IsFolder(top) && IsHidden(top);
    }
    bool hiddenAbove = IsFolder(top) && IsHidden(top) && !rootGivenBack;
    for (std::size_t depth = 1; IsFolder(top) && depth <= place.below.size(); ++depth) {
        const auto found = stick.below.find(Folded(PathOf(stick, place, depth)));
        if (found == stick.below.end() || IsLink(found->second)) {
            return false;
        }
        const std::uint32_t attributes = found->second;
        if (depth == place.below.size()) {
            return !IsFolder(attributes) && (hiddenAbove || IsHidden(attributes));
        }
        hiddenAbove = hiddenAbove || (IsFolder(attributes) && IsHidden(attributes));
    }
    return false;
}

// How a launcher uses what it names.
enum class Role {
    Named,    // anything else: left alone
    Payload,  // run or loaded: moved out of reach when hidden
    Opened,   // shown to the user by explorer or start: given back when hidden
};

struct Mention {
    std::wstring token;
    Place place;
    Role role = Role::Named;
    bool inArguments = false;  // rather than a target
    bool host = false;         // a command host, not listed as left alone elsewhere
};

// What the argument after the previous token is to the command it belongs to.
enum class Expect { Nothing, File, DllEntry, JavaOptions, Opened, StartArgument, StartFolder };

Expect AfterHost(Host host) {
    switch (host) {
        case Host::RunsFile:
            return Expect::File;
        case Host::Rundll:
            return Expect::DllEntry;
        case Host::Java:
            return Expect::JavaOptions;
        case Host::Opens:
            return Expect::Opened;
        default:
            return Expect::Nothing;
    }
}

bool IsSwitch(wstring_view token) {
    return token[0] == L'/' || token[0] == L'-';
}

void AddMention(std::vector<Mention>& mentions, const Stick& stick, std::wstring token, Role role,
                bool inArguments, bool host) {
    Mention mention{token, Resolve(token, stick), role, inArguments, host};
    const Place& place = mention.place;
    if (place.kind == Place::OnStick) {
        const std::wstring& last =
            place.below.empty() ? stick.root.items[place.item].name : place.below.back();
        if (ProgramExtension(last) != 0) {
            mention.role = Role::Payload;  // any program it names might be the worm
        }
    }
    mentions.push_back(std::move(mention));
}

// Everything a shortcut names, each with its role; `toHost` tells whether a
// target is a command host. Commands are followed across the separators,
// which the tokens no longer show: "cmd /c start wscript x & start explorer
// Photos" runs x and opens Photos.
std::vector<Mention> MentionsOf(const Shortcut& shortcut, const Stick& stick, bool& toHost) {
    std::vector<Mention> mentions;
    Host runs = Host::None;
    for (const std::wstring& target : shortcut.targets) {
        const Host host = HostOf(target);
        if (host == Host::None) {
            AddMention(mentions, stick, target, Role::Payload, false, false);
        } else if (runs == Host::None) {
            runs = host;
        }
    }
    toHost = runs != Host::None;
    Expect expect = AfterHost(runs);
    for (std::wstring& token : Tokenize(shortcut.arguments)) {
        if (SameName(token, L"start")) {
            expect = Expect::StartArgument;
            continue;
        }
        if (IsSwitch(token)) {
            if (expect == Expect::JavaOptions && SameName(token, L"-jar")) {
                expect = Expect::File;
            } else if (expect == Expect::StartArgument && SameName(token, L"/d")) {
                expect = Expect::StartFolder;
            }
            continue;
        }
        const Host host = HostOf(token);
        Role role = Role::Named;
        Expect next = AfterHost(host);
        if (expect == Expect::StartFolder) {
            next = Expect::StartArgument;  // where start runs it, not what it opens
        } else if (host == Host::None && (expect == Expect::File || expect == Expect::DllEntry)) {
            role = Role::Payload;
            if (expect == Expect::DllEntry) {
                token.erase(std::min(token.find(L','), token.size()));  // "x.dll,Entry" quoted
            }
        } else if (host == Host::None &&
                   (expect == Expect::Opened || expect == Expect::StartArgument)) {
            role = Role::Opened;
        }
        AddMention(mentions, stick, std::move(token), role, true, host != Host::None);
        expect = next;
    }
    return mentions;
}

// The hidden root item a launcher's name imitates, or kNoItem.
std::size_t FindTwin(const Stick& stick, wstring_view stem) {
    const std::size_t twin = stem.empty() ? kNoItem : stick.Find(stem);
    if (twin == kNoItem) {
        return kNoItem;
    }
    const StickItem& item = stick.root.items[twin];
    return IsHidden(item.attributes) && IsTouchable(item) ? twin : kNoItem;
}

bool IsLabel(const std::wstring& label, wstring_view stem) {
    if (!label.empty()) {
        return SameName(stem, label);
    }
    return SameName(stem, L"可移动磁盘") || SameName(stem, L"Removable Disk");
}

struct Candidate {
    std::size_t item = kNoItem;
    LauncherRule rule = LauncherRule::ShortcutToHost;
    std::size_t twin = kNoItem;
    bool namedLikeLabel = false;
    std::vector<Mention> mentions;
};

// The root items that are launchers, or for rule 2 may be: whether a .lnk's
// target is a hidden file below the root takes the attributes looked up.
std::vector<Candidate> Candidates(const Stick& stick) {
    std::vector<Candidate> candidates;
    const std::vector<StickItem>& items = stick.root.items;
    for (std::size_t i = 0; i < items.size(); ++i) {
        const std::wstring& name = items[i].name;
        if (IsFolder(items[i].attributes)) {
            continue;
        }
        Candidate candidate;
        candidate.item = i;
        const auto shortcut = stick.root.shortcuts.find(name);
        if (EndsWith(name, L".lnk") && shortcut != stick.root.shortcuts.end()) {
            const wstring_view stem = wstring_view(name).substr(0, name.size() - 4);
            candidate.twin = FindTwin(stick, stem);
            candidate.namedLikeLabel = IsLabel(stick.root.label, stem);
            bool toHost = false;
            candidate.mentions = MentionsOf(shortcut->second, stick, toHost);
            bool namesItem = false, namesHidden = false;
            for (const Mention& mention : candidate.mentions) {
                if (mention.inArguments && mention.place.kind == Place::OnStick) {
                    namesItem = true;
                    namesHidden = namesHidden || IsHidden(items[mention.place.item].attributes);
                }
            }
            if (toHost && (namesHidden || candidate.twin != kNoItem ||
                           (candidate.namedLikeLabel && namesItem))) {
                candidate.rule = LauncherRule::ShortcutToHost;
            } else if (candidate.twin != kNoItem) {
                candidate.rule = LauncherRule::ShortcutToHidden;
            } else {
                continue;
            }
        } else {
            const std::size_t extension = ProgramExtension(name);
            candidate.twin =
                extension ? FindTwin(stick, wstring_view(name).substr(0, name.size() - extension))
                          : kNoItem;
            if (candidate.twin == kNoItem) {
                continue;
            }
            candidate.rule = LauncherRule::ProgramLikeHidden;
        }
        candidates.push_back(std::move(candidate));
    }
    return candidates;
}

bool IsDeviceName(wstring_view name) {
    wstring_view base = name.substr(0, name.find(L'.'));
    while (!base.empty() && base.back() == L' ') {
        base.remove_suffix(1);
    }
    if (SameName(base, L"CON") || SameName(base, L"PRN") || SameName(base, L"AUX") ||
        SameName(base, L"NUL")) {
        return true;
    }
    return base.size() == 4 && (StartsWith(base, L"COM") || StartsWith(base, L"LPT")) &&
           base[3] >= L'1' && base[3] <= L'9';
}

// Names that ordinary Win32 paths cannot open: they drop a last name's
// trailing spaces and dots ("X:\ " is the root), and take a device's name
// (CON, NUL, COM1...) for the device, whatever extension follows it.
bool NeedsNewName(wstring_view name) {
    return name.empty() || name.back() == L' ' || name.back() == L'.' || IsDeviceName(name);
}

// New names for the items given back that need one, none of them taken by
// the root's items or by each other.
class NameChooser {
public:
    explicit NameChooser(const StickRoot& root) {
        for (const StickItem& item : root.items) {
            taken_.insert(Folded(item.name));
        }
    }

    // The name less its trailing spaces and dots, when that is a name
    // ("Photos." becomes "Photos"); otherwise 已恢复的文件夹 for a folder, and
    // 已恢复的文件 with the extension for a file. While taken, "-2", "-3"…
    // before the extension.
    std::wstring Choose(const StickItem& item) {
        wstring_view trimmed = item.name;
        while (!trimmed.empty() && (trimmed.back() == L' ' || trimmed.back() == L'.')) {
            trimmed.remove_suffix(1);
        }
        const bool folder = IsFolder(item.attributes);
        std::size_t dot = folder ? wstring_view::npos : trimmed.rfind(L'.');
        if (dot == 0) {
            dot = wstring_view::npos;  // ".profile" is all name
        }
        std::wstring stem(trimmed.substr(0, dot));
        const std::wstring extension(dot == wstring_view::npos ? wstring_view()
                                                               : trimmed.substr(dot));
        if (stem.find_first_not_of(L' ') == std::wstring::npos || IsDeviceName(trimmed)) {
            stem = folder ? L"已恢复的文件夹" : L"已恢复的文件";
        }
        std::wstring name = stem + extension;
        for (unsigned n = 2; !taken_.insert(Folded(name)).second; ++n) {
            name = stem + L'-' + Decimal(n) + extension;
        }
        return name;
    }

private:
    std::set<std::wstring> taken_;  // folded
};

void AddOnce(std::vector<std::wstring>& list, std::set<std::wstring>& seen,
             const std::wstring& entry) {
    if (seen.insert(Folded(entry)).second) {
        list.push_back(entry);
    }
}

}  // namespace

std::vector<std::wstring> PathsToInspect(const StickRoot& root) {
    const Stick stick(root);
    std::vector<std::wstring> paths;
    std::set<std::wstring> seen;
    for (const Candidate& candidate : Candidates(stick)) {
        for (const Mention& mention : candidate.mentions) {
            const Place& place = mention.place;
            if (place.kind != Place::OnStick || place.below.empty() ||
                !IsFolder(root.items[place.item].attributes) ||
                IsLink(root.items[place.item].attributes)) {
                continue;
            }
            for (std::size_t depth = 1; depth <= place.below.size(); ++depth) {
                AddOnce(paths, seen, PathOf(stick, place, depth));
                if (paths.size() == kMaxPathsToInspect) {
                    return paths;
                }
            }
        }
    }
    return paths;
}

std::vector<LauncherPlan> PlanRepair(const StickRoot& root) {
    const Stick stick(root);
    const std::vector<StickItem>& items = root.items;

    std::vector<Candidate> launchers;
    std::vector<bool> isLauncher(items.size());
    for (Candidate& candidate : Candidates(stick)) {
        if (candidate.rule == LauncherRule::ShortcutToHidden &&
            std::none_of(candidate.mentions.begin(), candidate.mentions.end(),
                         [&](const Mention& m) {
                             return !m.inArguments && m.place.kind == Place::OnStick &&
                                    IsHiddenFile(stick, m.place, false);
                         })) {
            continue;
        }
        isLauncher[candidate.item] = true;
        launchers.push_back(std::move(candidate));
    }

    // Given back first, by all launchers: whether a file inside a folder is
    // moved depends on whether any launcher gives that folder back.
    std::vector<LauncherPlan> plans(launchers.size());
    std::vector<bool> givenBack(items.size());
    NameChooser names(root);
    for (std::size_t k = 0; k < launchers.size(); ++k) {
        const Candidate& launcher = launchers[k];
        LauncherPlan& plan = plans[k];
        plan.name = items[launcher.item].name;
        plan.rule = launcher.rule;
        const auto giveBack = [&](std::size_t i) {
            const StickItem& item = items[i];
            if (!givenBack[i] && !isLauncher[i] && IsHidden(item.attributes) && IsTouchable(item)) {
                givenBack[i] = true;
                plan.givenBack.push_back({item.name,
                                          NeedsNewName(item.name) ? names.Choose(item) : L"",
                                          item.attributes & kSettable});
            }
        };
        if (launcher.twin != kNoItem) {
            giveBack(launcher.twin);
        }
        for (const Mention& mention : launcher.mentions) {
            const Place& place = mention.place;
            if (place.kind != Place::OnStick) {
                continue;
            }
            // A path shown below a hidden folder, "%cd%\ \Photos", gives back
            // the folder that hides it.
            const bool folder = IsFolder(items[place.item].attributes);
            if ((mention.role == Role::Opened && (place.below.empty() || folder)) ||
                (launcher.namedLikeLabel && folder)) {
                giveBack(place.item);
            }
        }
    }

    std::set<std::wstring> moved;
    for (std::size_t k = 0; k < launchers.size(); ++k) {
        for (const Mention& mention : launchers[k].mentions) {
            const Place& place = mention.place;
            if (mention.role != Role::Payload || place.kind != Place::OnStick ||
                isLauncher[place.item]) {
                continue;
            }
            const bool rootItem = place.below.empty();
            if (rootItem && (givenBack[place.item] || !IsTouchable(items[place.item]))) {
                continue;
            }
            if (IsHiddenFile(stick, place, givenBack[place.item])) {
                AddOnce(plans[k].moved, moved, PathOf(stick, place));
            }
        }
    }

    for (std::size_t k = 0; k < launchers.size(); ++k) {
        std::set<std::wstring> listed, elsewhere;
        for (const Mention& mention : launchers[k].mentions) {
            const Place& place = mention.place;
            if (place.kind == Place::Elsewhere && !mention.host) {
                AddOnce(plans[k].elsewhere, elsewhere, mention.token);
            }
            if (place.kind != Place::OnStick || isLauncher[place.item] ||
                (place.below.empty() && givenBack[place.item]) || !Exists(stick, place)) {
                continue;
            }
            const std::wstring path = PathOf(stick, place);
            if (!moved.count(Folded(path))) {
                AddOnce(plans[k].leftAlone, listed, path);
            }
        }
    }
    return plans;
}

}  // namespace tovrane
