// What repairing one stick does against a shortcut worm, decided from what
// its root holds: which root items are the worm's launchers and, for each, the
// files moved out of reach, the items given back and what is left alone.
// Pure and deterministic; the caller reads the stick and carries the plan out.
//
// The caller's part, in this order:
//  1. enumerate the root into StickRoot::items and read each root .lnk into
//     StickRoot::shortcuts;
//  2. look up the attributes of each path that PathsToInspect lists, and put
//     those that exist into StickRoot::below;
//  3. PlanRepair, then for each launcher move it and its `moved` files, and
//     only then give back its `givenBack` items: the paths are the stick's as
//     it is, before any item is renamed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace tovrane {

// Where launchers and their payload go, in the stick's root. The rule never
// touches the root item of that name itself.
constexpr wchar_t kQuarantineFolder[] = L"已隔离的可疑文件";

// One entry of the stick.
struct StickItem {
    std::wstring name;             // as stored: may be only spaces, end in dots, hold U+00A0
    std::uint32_t attributes = 0;  // as the file system reports them
};

// What a root .lnk says, its strings already widened.
struct Shortcut {
    std::vector<std::wstring> targets;  // every target found; empty: unknown
    std::wstring arguments;
};

// A .lnk that was not read (too large, past the bound on shortcuts) is
// simply absent from `shortcuts`, and is then no launcher.
struct StickRoot {
    wchar_t letter = L'E';                        // the stick's drive letter, either case
    std::wstring label;                           // the volume label, empty when it has none
    std::vector<StickItem> items;                 // the root's entries, in the root's order
    std::map<std::wstring, Shortcut> shortcuts;   // by item name as in `items`, each .lnk read
    std::map<std::wstring, std::uint32_t> below;  // step 2: a listed path that is missing is absent
};

// A shortcut's arguments are read up to this many tokens: a worm's command
// line holds a few dozen, and a planted one of 64 KiB would otherwise cost
// thousands of tokens each. Tokens past it name nothing.
constexpr std::size_t kMaxTokensRead = 128;

// At most this many paths are listed for one stick, however many the
// shortcuts name; a path not listed counts as absent, so nothing is moved
// from it.
constexpr std::size_t kMaxPathsToInspect = 1000;

// The paths below root folders ("Photos\x.vbs", each folder on the way
// listed before what it holds) whose attributes PlanRepair needs: those that
// the stick's possible launchers name. Relative to the root, with the root
// item's name as stored; each once, compared without regard to case.
std::vector<std::wstring> PathsToInspect(const StickRoot& root);

// Which rule made a root item a launcher; the first that holds when several do.
enum class LauncherRule {
    ShortcutToHost = 1,     // a .lnk to a command host that names hidden items or the label
    ShortcutToHidden = 2,   // a .lnk to a hidden file, named like a hidden root item
    ProgramLikeHidden = 3,  // a program file named like a hidden root item
};

struct GivenBack {
    std::wstring name;         // the root item, as stored
    std::wstring newName;      // empty when the name stays; otherwise one ordinary paths open
    std::uint32_t attributes;  // for SetAttributes: its own that it sets, less hidden and
                               // system (read-only stays); 0 when none is left (attr::kNormal)
};

struct LauncherPlan {
    std::wstring name;  // the root item, as stored
    LauncherRule rule;
    std::vector<std::wstring> moved;      // its payload, besides itself: files, relative paths
    std::vector<GivenBack> givenBack;     // root items
    std::vector<std::wstring> leftAlone;  // what else it names that is there, relative paths
    std::vector<std::wstring> elsewhere;  // its tokens that name something off the stick
};

// One plan per launcher, in the root's order; within a plan, in the order the
// launcher names them (the imitated twin first). No item is in two sets,
// across launchers too: an item given back by one launcher is never moved by
// another, and an item moved or given back by one is listed by no other.
// Left-alone entries may repeat across launchers. Launchers themselves appear
// in no set but their own `name`.
std::vector<LauncherPlan> PlanRepair(const StickRoot& root);

}  // namespace tovrane
