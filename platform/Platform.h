// The operating-system services that Tovrane's own logic uses, and nothing
// more. core/ reaches Windows only through this interface, so it builds and is
// tested natively against a recording fake; Win32Platform is the real one.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tovrane {

// Outcome of an operation that can fail. Callers are free to ignore it.
struct OsResult {
    std::uint32_t error = 0;  // the system error code; 0 means success

    static OsResult Ok() { return {}; }
    static OsResult Failed(std::uint32_t code) { return {code == 0 ? 1u : code}; }
    bool ok() const { return error == 0; }
    explicit operator bool() const { return ok(); }
};

enum class DriveType : std::uint32_t {
    Unknown = 0,
    NoRootDir = 1,
    Removable = 2,
    Fixed = 3,
    Remote = 4,
    CdRom = 5,
    RamDisk = 6,
};

enum class PathKind { Missing, File, Folder };

// File attribute bits, as the file system stores them.
namespace attr {
constexpr std::uint32_t kNormal = 0;
constexpr std::uint32_t kReadOnly = 1;
constexpr std::uint32_t kHidden = 2;
constexpr std::uint32_t kSystem = 4;
constexpr std::uint32_t kDirectory = 0x10;
constexpr std::uint32_t kArchive = 0x20;
constexpr std::uint32_t kReparsePoint = 0x400;  // a link, a junction or a mount point
}  // namespace attr

// What the file system says of one file or folder.
struct FileEntry {
    std::wstring name;  // without its folder
    std::uint32_t attributes = 0;
    std::uint64_t size = 0;       // bytes
    std::uint64_t writeTime = 0;  // last written: 100 ns units since 1601, UTC
};

// A folder's entries, read one at a time, so that a caller can stop and go
// on later.
class FolderListing {
public:
    virtual ~FolderListing() = default;
    // The next entry, "." and ".." left out; false at the end, or when the
    // folder can no longer be read.
    virtual bool Next(FileEntry& entry) = 0;
};

// The medium in a drive, as its file system names it.
struct VolumeIdentity {
    bool known = false;  // false: no medium, or no file system the system reads
    std::uint32_t serial = 0;
    std::wstring label;  // empty when it has none
};

// A moment on the local clock.
struct LocalTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

// Window style of a started program's main window.
enum class ShowStyle : int {
    MinimizedWithFocus = 2,  // SW_SHOWMINIMIZED
};

// Icon of a message box, as its flags value.
enum class MessageIcon : unsigned {
    None = 0,
    Warning = 48,      // MB_ICONEXCLAMATION
    Information = 64,  // MB_ICONINFORMATION
};

struct TwipsPerPixel {
    double x = 15;  // 1440 / horizontal dots per inch
    double y = 15;
};

// The default value of a registry key, when it is text (REG_SZ or
// REG_EXPAND_SZ, unexpanded).
struct RegistryText {
    bool present = false;  // false: no default value, or one that is not text
    std::wstring text;
};

// A program that was started. Destroying it lets go of the process without
// ending it.
class StartedProcess {
public:
    virtual ~StartedProcess() = default;
    // Waits at most `timeoutMs` for the process to end; true when it ended.
    virtual bool WaitForExit(std::uint32_t timeoutMs) = 0;
};

class Platform {
public:
    virtual ~Platform() = default;

    // The system's drive-roots buffer as GetLogicalDriveStrings fills it:
    // "C:\<NUL>D:\<NUL>...<NUL>", padded with NULs to the buffer's size.
    virtual std::wstring LogicalDriveStrings() = 0;
    virtual DriveType DriveTypeOf(const std::wstring& root) = 0;
    // True when the drive at `root` holds a medium (an empty card-reader
    // slot answers "not ready"). Never raises the system's "no disk" dialog.
    virtual bool HasMedium(const std::wstring& root) = 0;
    // The volume name the mount manager knows for a drive root ("E:\"):
    // "\\?\Volume{GUID}\"; empty when it knows none.
    virtual std::wstring VolumeNameOf(const std::wstring& root) = 0;
    virtual VolumeIdentity IdentityOf(const std::wstring& root) = 0;
    // True when the drive's disk sits on a USB bus, as a USB hard disk does
    // though it reports fixed.
    virtual bool IsUsbDisk(const std::wstring& root) = 0;

    virtual PathKind GetPathKind(const std::wstring& path) = 0;
    virtual OsResult SetAttributes(const std::wstring& path, std::uint32_t mask) = 0;
    virtual OsResult RemoveFile(const std::wstring& path) = 0;
    virtual OsResult CopyFileTo(const std::wstring& from, const std::wstring& to) = 0;

    // The stick repair's file work. Its paths are "\\?\X:\..." paths, which
    // reach names that end in spaces or dots as they are.
    // Null when the folder cannot be read.
    virtual std::unique_ptr<FolderListing> ListFolder(const std::wstring& folder) = 0;
    // False when nothing is there.
    virtual bool LookUp(const std::wstring& path, FileEntry& entry) = 0;
    // The whole of a file of at most `maxBytes`; false for a longer one, or
    // one that cannot be read.
    virtual bool ReadSmallFile(const std::wstring& path, std::size_t maxBytes,
                               std::vector<std::uint8_t>& bytes) = 0;
    virtual OsResult MakeFolder(const std::wstring& path) = 0;
    // Renames, or moves within one volume: never copies, never replaces
    // what is there already.
    virtual OsResult MovePath(const std::wstring& from, const std::wstring& to) = 0;
    // Adds UTF-16LE text to the end of a file, which is made with a
    // byte-order mark when it is new.
    virtual OsResult AppendText(const std::wstring& path, const std::wstring& text) = 0;
    // Text in the system's ANSI code page, as an old shortcut stores it.
    virtual std::wstring FromAnsi(const std::string& bytes) = 0;

    // Starts `application` (a full path, never searched for) with exactly
    // `commandLine` as its command line. Null when it could not be started.
    virtual std::unique_ptr<StartedProcess> StartProgram(const std::wstring& application,
                                                         const std::wstring& commandLine,
                                                         ShowStyle style) = 0;

    // "C:\WINDOWS" and "C:\WINDOWS\system32", without a trailing backslash.
    virtual std::wstring WindowsFolder() = 0;
    virtual std::wstring SystemFolder() = 0;
    // The all-users Startup folder as the shell names it; empty when the
    // shell gives no answer.
    virtual std::wstring CommonStartupFolder() = 0;
    // The running executable's full path.
    virtual std::wstring ExecutablePath() = 0;
    // True when both paths name one existing file, however they are spelt.
    virtual bool IsSameFile(const std::wstring& a, const std::wstring& b) = 0;

    // The current user's registry (HKEY_CURRENT_USER), by key path below it.
    // The names of a key's subkeys, none when it is missing or unreadable.
    virtual std::vector<std::wstring> UserSubkeys(const std::wstring& key) = 0;
    virtual RegistryText UserDefaultText(const std::wstring& key) = 0;
    // Deletes a key with everything below it.
    virtual OsResult DeleteUserKey(const std::wstring& key) = 0;
    virtual OsResult DeleteUserDefaultValue(const std::wstring& key) = 0;

    // A modal box with an OK button; returns when it is closed.
    virtual void ShowMessage(const std::wstring& text, MessageIcon icon,
                             const std::wstring& title) = 0;
    virtual TwipsPerPixel ScreenTwipsPerPixel() = 0;

    // A clock in milliseconds that only runs forward (it wraps after 49 days).
    virtual std::uint32_t Milliseconds() = 0;
    virtual LocalTime Now() = 0;
    // A file's time (as FileEntry::writeTime) on the local clock.
    virtual LocalTime LocalTimeOf(std::uint64_t fileTime) = 0;
};

}  // namespace tovrane
