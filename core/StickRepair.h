// Repairing a stick that a shortcut worm has been at, on the stick itself:
// its launchers and their payload are moved into the folder
// 已隔离的可疑文件 with ".txt" added to their names, what they hid is shown
// again, and 说明.txt in that folder says what was done and how to undo it.
// Nothing is deleted and nothing leaves the stick.
//
// A repair is a job that goes step by step, so that the program never stops
// answering: each Step does about as much work as its budget allows. It is
// tied to the volume it began on: should another medium be found in the
// drive (another serial number or label), it is dropped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/DriveList.h"
#include "core/WormRule.h"
#include "platform/Platform.h"

namespace tovrane {

// The record of what a repair did, in the quarantine folder.
constexpr wchar_t kRecordFile[] = L"说明.txt";

// Bounds of one job. A shortcut larger than a real one can be is not read; a
// job that meets a bound stops there, and the record says what was left.
constexpr std::size_t kMaxShortcutBytes = 64 * 1024;
constexpr std::size_t kMaxShortcuts = 500;
constexpr std::size_t kMaxRootEntries = 20000;

class StickRepair {
public:
    explicit StickRepair(const DriveLetter& letter);

    enum class Progress {
        Working,  // there is more to do
        Done,
        Dropped,  // the drive was empty, unreadable, or held another volume
    };
    // Works until the job is over or about `budgetMs` has passed.
    Progress Step(Platform& os, std::uint32_t budgetMs);

    const DriveLetter& Letter() const { return letter_; }
    // The launchers found that are still in the root when the job is done:
    // those that could not be moved (a write-protected stick).
    const std::vector<std::wstring>& LaunchersLeft() const { return left_; }

private:
    enum class Phase { Identify, List, ReadShortcuts, Inspect, Repair, Finished };

    bool SameVolume(Platform& os) const;
    // Each does one unit of work; false when its phase is over.
    bool ListOne();
    bool ReadOneShortcut(Platform& os);
    bool InspectOne(Platform& os);
    bool RepairOne(Platform& os);

    std::wstring Path(const std::wstring& relative) const;  // "\\?\E:\relative"
    // Moves a root item or a file below the root into the quarantine folder
    // as NAME.txt (NAME-2.txt... when taken), adding its line of the record
    // to `lines`; true when it moved.
    bool Quarantine(Platform& os, const std::wstring& relative, std::wstring& lines);
    std::wstring GiveBack(Platform& os, const GivenBack& item);
    // The quarantine folder, made when missing; false when something else
    // stands there.
    bool QuarantineReady(Platform& os);
    void Record(Platform& os, const std::wstring& lines);

    DriveLetter letter_;
    Phase phase_ = Phase::Identify;
    VolumeIdentity volume_;
    std::unique_ptr<FolderListing> listing_;
    StickRoot root_;
    std::vector<FileEntry> entries_;  // the root's entries, for their sizes and times
    std::size_t next_ = 0;            // the next item, path or launcher of the phase
    std::vector<std::wstring> inspect_;
    std::vector<LauncherPlan> plans_;
    std::vector<std::wstring> bounds_;  // what a bound left undone, for the record
    std::vector<std::wstring> left_;
    bool headed_ = false;               // the record has this repair's heading
    int quarantine_ = 0;                // 0 not looked at, 1 ready, -1 not usable
    std::wstring quarantineProblem_;
};

// Whether the repair may work on a drive: a removable one, or a fixed one on
// a USB bus (a USB hard disk), never the one that holds the Windows folder.
bool IsStickDrive(Platform& os, const DriveLetter& letter);

// Runs a repair of the drive at once and whole, for at most about `boundMs`;
// answers the launchers it left on the stick. Nothing for a drive that is no
// stick.
std::vector<std::wstring> RepairNow(Platform& os, const DriveLetter& letter, std::uint32_t boundMs);

// The record's text for an attribute mask: "只读、隐藏、系统"; "无" for none.
std::wstring DescribeAttributes(std::uint32_t attributes);

}  // namespace tovrane
