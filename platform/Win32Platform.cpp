#include "platform/Win32Platform.h"

#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <winioctl.h>

#include <cstddef>
#include <cwchar>
#include <vector>

namespace tovrane {

namespace {

OsResult LastResult(BOOL succeeded) {
    return succeeded ? OsResult::Ok() : OsResult::Failed(GetLastError());
}

OsResult RegistryResult(LONG status) {
    return status == ERROR_SUCCESS ? OsResult::Ok() : OsResult::Failed(status);
}

// A key of the current user's, closed again when it goes.
class UserKey {
public:
    UserKey(const std::wstring& path, REGSAM access) {
        if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, access, &key_) != ERROR_SUCCESS) {
            key_ = nullptr;
        }
    }
    ~UserKey() {
        if (key_) {
            RegCloseKey(key_);
        }
    }
    UserKey(const UserKey&) = delete;
    UserKey& operator=(const UserKey&) = delete;
    HKEY get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

// Asking about an empty drive must never raise the system's "There is no
// disk in the drive" box. The program sets this mode for good at start; the
// guard makes the query safe in any process that uses it.
class NoCriticalErrorBoxes {
public:
    NoCriticalErrorBoxes() : previous_(SetErrorMode(SEM_FAILCRITICALERRORS)) {
        SetErrorMode(previous_ | SEM_FAILCRITICALERRORS);
    }
    ~NoCriticalErrorBoxes() { SetErrorMode(previous_); }
    NoCriticalErrorBoxes(const NoCriticalErrorBoxes&) = delete;
    NoCriticalErrorBoxes& operator=(const NoCriticalErrorBoxes&) = delete;

private:
    UINT previous_;
};

class Win32Process : public StartedProcess {
public:
    explicit Win32Process(HANDLE process) : process_(process) {}
    ~Win32Process() override { CloseHandle(process_); }
    Win32Process(const Win32Process&) = delete;
    Win32Process& operator=(const Win32Process&) = delete;

    // Waits while dispatching this thread's messages, so that the windows of
    // the caller keep painting and answering. Input that arrives meanwhile is
    // dispatched too: callers that must not be re-entered disable their
    // window for the duration, as a modal dialog would.
    bool WaitForExit(std::uint32_t timeoutMs) override {
        const DWORD start = GetTickCount();
        for (;;) {
            const DWORD elapsed = GetTickCount() - start;
            if (elapsed >= timeoutMs) {
                return WaitForSingleObject(process_, 0) == WAIT_OBJECT_0;
            }
            const DWORD woke =
                MsgWaitForMultipleObjects(1, &process_, FALSE, timeoutMs - elapsed, QS_ALLINPUT);
            if (woke == WAIT_OBJECT_0) {
                return true;
            }
            if (woke != WAIT_OBJECT_0 + 1) {
                return false;
            }
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (msg.message == WM_QUIT) {
                    // Leave the quit for the main loop to see.
                    PostQuitMessage(static_cast<int>(msg.wParam));
                    return WaitForSingleObject(process_, 0) == WAIT_OBJECT_0;
                }
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        }
    }

private:
    HANDLE process_;
};

std::uint64_t FromFileTime(const FILETIME& time) {
    return static_cast<std::uint64_t>(time.dwHighDateTime) << 32 | time.dwLowDateTime;
}

// A found entry (WIN32_FIND_DATAW) or a looked-up one
// (WIN32_FILE_ATTRIBUTE_DATA): the latter's fields are the former's first ones.
template <typename Data>
FileEntry EntryOf(const std::wstring& name, const Data& data) {
    return {name, data.dwFileAttributes,
            static_cast<std::uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow,
            FromFileTime(data.ftLastWriteTime)};
}

LocalTime FromSystemTime(const SYSTEMTIME& time) {
    return {time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute, time.wSecond};
}

// An open file handle, closed again when it goes.
class FileHandle {
public:
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    ~FileHandle() {
        if (valid()) {
            CloseHandle(handle_);
        }
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return handle_; }

private:
    HANDLE handle_;
};

class Win32FolderListing : public FolderListing {
public:
    explicit Win32FolderListing(const std::wstring& folder) {
        NoCriticalErrorBoxes guard;
        const std::wstring pattern = folder + (folder.back() == L'\\' ? L"*" : L"\\*");
        find_ = FindFirstFileW(pattern.c_str(), &found_);
        pending_ = find_ != INVALID_HANDLE_VALUE;
    }
    ~Win32FolderListing() override {
        if (find_ != INVALID_HANDLE_VALUE) {
            FindClose(find_);
        }
    }
    Win32FolderListing(const Win32FolderListing&) = delete;
    Win32FolderListing& operator=(const Win32FolderListing&) = delete;
    bool opened() const { return find_ != INVALID_HANDLE_VALUE; }

    bool Next(FileEntry& entry) override {
        while (pending_) {
            const WIN32_FIND_DATAW found = found_;
            pending_ = FindNextFileW(find_, &found_) != FALSE;
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") {
                continue;
            }
            entry = EntryOf(name, found);
            return true;
        }
        return false;
    }

private:
    HANDLE find_ = INVALID_HANDLE_VALUE;
    WIN32_FIND_DATAW found_ = {};
    bool pending_ = false;
};

std::wstring FolderFrom(UINT(WINAPI* query)(LPWSTR, UINT)) {
    std::vector<wchar_t> buffer(MAX_PATH + 1);
    UINT length = query(buffer.data(), static_cast<UINT>(buffer.size()));
    if (length >= buffer.size()) {
        buffer.resize(length + 1);
        length = query(buffer.data(), static_cast<UINT>(buffer.size()));
    }
    if (length == 0 || length >= buffer.size()) {
        return {};
    }
    std::wstring folder(buffer.data(), length);
    if (!folder.empty() && folder.back() == L'\\') {
        folder.pop_back();
    }
    return folder;
}

}  // namespace

std::wstring Win32Platform::LogicalDriveStrings() {
    // 26 roots of four characters and the closing NUL need 105 characters;
    // the buffer is roomier still.
    wchar_t buffer[1024] = {};
    GetLogicalDriveStringsW(512, buffer);
    return std::wstring(buffer, 1024);
}

DriveType Win32Platform::DriveTypeOf(const std::wstring& root) {
    return static_cast<DriveType>(GetDriveTypeW(root.c_str()));
}

bool Win32Platform::HasMedium(const std::wstring& root) {
    NoCriticalErrorBoxes guard;
    ULARGE_INTEGER available;
    return GetDiskFreeSpaceExW(root.c_str(), &available, nullptr, nullptr) != FALSE;
}

std::wstring Win32Platform::VolumeNameOf(const std::wstring& root) {
    NoCriticalErrorBoxes guard;
    wchar_t name[MAX_PATH] = {};
    if (!GetVolumeNameForVolumeMountPointW(root.c_str(), name, MAX_PATH)) {
        return {};
    }
    return name;
}

VolumeIdentity Win32Platform::IdentityOf(const std::wstring& root) {
    NoCriticalErrorBoxes guard;
    VolumeIdentity identity;
    wchar_t label[MAX_PATH + 1] = {};
    DWORD serial = 0;
    if (GetVolumeInformationW(root.c_str(), label, ARRAYSIZE(label), &serial, nullptr, nullptr,
                              nullptr, 0)) {
        identity.known = true;
        identity.serial = serial;
        identity.label = label;
    }
    return identity;
}

bool Win32Platform::IsUsbDisk(const std::wstring& root) {
    NoCriticalErrorBoxes guard;
    // The volume itself ("\\.\E:"), opened without access rights: a query
    // of its storage properties needs none.
    const std::wstring volume = L"\\\\.\\" + root.substr(0, 2);
    FileHandle device(CreateFileW(volume.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    if (!device.valid()) {
        return false;
    }
    STORAGE_PROPERTY_QUERY query = {};
    query.PropertyId = StorageDeviceProperty;
    query.QueryType = PropertyStandardQuery;
    // The descriptor's fixed part is all that is read; the strings after it
    // may be cut off.
    STORAGE_DEVICE_DESCRIPTOR descriptor = {};
    DWORD returned = 0;
    return DeviceIoControl(device.get(), IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query,
                           &descriptor, sizeof descriptor, &returned, nullptr) &&
           returned >= offsetof(STORAGE_DEVICE_DESCRIPTOR, BusType) + sizeof descriptor.BusType &&
           descriptor.BusType == BusTypeUsb;
}

PathKind Win32Platform::GetPathKind(const std::wstring& path) {
    NoCriticalErrorBoxes guard;
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return PathKind::Missing;
    }
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? PathKind::Folder : PathKind::File;
}

OsResult Win32Platform::SetAttributes(const std::wstring& path, std::uint32_t mask) {
    return LastResult(SetFileAttributesW(path.c_str(), mask));
}

OsResult Win32Platform::RemoveFile(const std::wstring& path) {
    return LastResult(DeleteFileW(path.c_str()));
}

OsResult Win32Platform::CopyFileTo(const std::wstring& from, const std::wstring& to) {
    return LastResult(CopyFileW(from.c_str(), to.c_str(), FALSE));
}

std::unique_ptr<FolderListing> Win32Platform::ListFolder(const std::wstring& folder) {
    auto listing = std::make_unique<Win32FolderListing>(folder);
    if (!listing->opened()) {
        return nullptr;
    }
    return listing;
}

bool Win32Platform::LookUp(const std::wstring& path, FileEntry& entry) {
    NoCriticalErrorBoxes guard;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
        return false;
    }
    const std::size_t slash = path.find_last_of(L'\\');
    entry = EntryOf(slash == std::wstring::npos ? path : path.substr(slash + 1), data);
    return true;
}

bool Win32Platform::ReadSmallFile(const std::wstring& path, std::size_t maxBytes,
                                  std::vector<std::uint8_t>& bytes) {
    NoCriticalErrorBoxes guard;
    FileHandle file(CreateFileW(path.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) {
        return false;
    }
    DWORD high = 0;
    const DWORD low = GetFileSize(file.get(), &high);
    if ((low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) || high != 0 || low > maxBytes) {
        return false;
    }
    bytes.resize(low);
    DWORD read = 0;
    if (low > 0 && !ReadFile(file.get(), bytes.data(), low, &read, nullptr)) {
        return false;
    }
    bytes.resize(read);  // a file that shrank meanwhile gives what it holds
    return true;
}

OsResult Win32Platform::MakeFolder(const std::wstring& path) {
    return LastResult(CreateDirectoryW(path.c_str(), nullptr));
}

OsResult Win32Platform::MovePath(const std::wstring& from, const std::wstring& to) {
    // No MOVEFILE_COPY_ALLOWED: within one volume a move is a rename, and
    // nothing of the stick is ever copied onto another disk.
    return LastResult(MoveFileExW(from.c_str(), to.c_str(), 0));
}

OsResult Win32Platform::AppendText(const std::wstring& path, const std::wstring& text) {
    FileHandle file(CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) {
        return OsResult::Failed(GetLastError());
    }
    std::vector<std::uint8_t> bytes;
    DWORD high = 0;
    if (GetFileSize(file.get(), &high) == 0 && high == 0) {
        bytes = {0xFF, 0xFE};  // UTF-16LE
    }
    for (wchar_t c : text) {
        bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>((c >> 8) & 0xFF));
    }
    DWORD written = 0;
    const BOOL wrote = WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()),
                                 &written, nullptr);
    return wrote && written == bytes.size() ? OsResult::Ok()
                                            : OsResult::Failed(wrote ? ERROR_DISK_FULL
                                                                     : GetLastError());
}

std::wstring Win32Platform::FromAnsi(const std::string& bytes) {
    if (bytes.empty()) {
        return {};
    }
    const int size = static_cast<int>(bytes.size());
    const int length = MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, nullptr, 0);
    if (length <= 0) {
        return {};
    }
    std::wstring text(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, &text[0], length);
    return text;
}

std::unique_ptr<StartedProcess> Win32Platform::StartProgram(const std::wstring& application,
                                                            const std::wstring& commandLine,
                                                            ShowStyle style) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(style);
    PROCESS_INFORMATION info = {};
    // CreateProcessW may write into the command line, so it gets a copy.
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    if (!CreateProcessW(application.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &info)) {
        return nullptr;
    }
    CloseHandle(info.hThread);
    return std::make_unique<Win32Process>(info.hProcess);
}

std::wstring Win32Platform::WindowsFolder() {
    return FolderFrom(GetWindowsDirectoryW);
}

std::wstring Win32Platform::SystemFolder() {
    return FolderFrom(GetSystemDirectoryW);
}

std::wstring Win32Platform::CommonStartupFolder() {
    wchar_t folder[MAX_PATH] = {};
    if (FAILED(
            SHGetFolderPathW(nullptr, CSIDL_COMMON_STARTUP, nullptr, SHGFP_TYPE_CURRENT, folder))) {
        return {};
    }
    return folder;
}

std::wstring Win32Platform::ExecutablePath() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            return {};
        }
        if (length < buffer.size()) {
            return std::wstring(buffer.data(), length);
        }
        buffer.resize(buffer.size() * 2);  // the path was cut short
    }
}

bool Win32Platform::IsSameFile(const std::wstring& a, const std::wstring& b) {
    auto identify = [](const std::wstring& path, BY_HANDLE_FILE_INFORMATION& info) {
        HANDLE file =
            CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                        nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            return false;
        }
        const bool known = GetFileInformationByHandle(file, &info) != FALSE;
        CloseHandle(file);
        return known;
    };
    BY_HANDLE_FILE_INFORMATION first, second;
    return identify(a, first) && identify(b, second) &&
           first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
           first.nFileIndexHigh == second.nFileIndexHigh &&
           first.nFileIndexLow == second.nFileIndexLow;
}

std::vector<std::wstring> Win32Platform::UserSubkeys(const std::wstring& key) {
    std::vector<std::wstring> names;
    UserKey parent(key, KEY_ENUMERATE_SUB_KEYS);
    if (!parent.get()) {
        return names;
    }
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];  // a key's name has at most 255 characters
        DWORD length = ARRAYSIZE(name);
        if (RegEnumKeyExW(parent.get(), index, name, &length, nullptr, nullptr, nullptr,
                          nullptr) != ERROR_SUCCESS) {
            return names;
        }
        names.emplace_back(name, length);
    }
}

RegistryText Win32Platform::UserDefaultText(const std::wstring& key) {
    RegistryText value;
    UserKey opened(key, KEY_QUERY_VALUE);
    if (!opened.get()) {
        return value;
    }
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(opened.get(), nullptr, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return value;
    }
    // Room for a closing NUL that the stored text may lack; the value may
    // also have grown since its size was asked.
    std::vector<wchar_t> text(size / sizeof(wchar_t) + 1);
    size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    if (RegQueryValueExW(opened.get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(text.data()),
                         &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return value;
    }
    value.present = true;
    value.text.assign(text.data(), size / sizeof(wchar_t));
    value.text.resize(std::wcslen(value.text.c_str()));  // up to the first NUL
    return value;
}

OsResult Win32Platform::DeleteUserKey(const std::wstring& key) {
    // SHDeleteKeyW, not RegDeleteTreeW: Windows XP has only the former.
    return RegistryResult(SHDeleteKeyW(HKEY_CURRENT_USER, key.c_str()));
}

OsResult Win32Platform::DeleteUserDefaultValue(const std::wstring& key) {
    UserKey opened(key, KEY_SET_VALUE);
    if (!opened.get()) {
        return OsResult::Failed(ERROR_FILE_NOT_FOUND);
    }
    return RegistryResult(RegDeleteValueW(opened.get(), nullptr));
}

void Win32Platform::ShowMessage(const std::wstring& text, MessageIcon icon,
                                const std::wstring& title) {
    // A box owned by a hidden window would have no taskbar button and could
    // sit unseen behind other windows; it comes to the front either way,
    // since it answers something the user or a plugged-in drive just did.
    HWND owner = mainWindow_ && IsWindowVisible(mainWindow_) ? mainWindow_ : nullptr;
    MessageBoxW(owner, text.c_str(), title.c_str(),
                MB_OK | MB_SETFOREGROUND | static_cast<UINT>(icon));
}

TwipsPerPixel Win32Platform::ScreenTwipsPerPixel() {
    HDC screen = GetDC(nullptr);
    const int dpiX = screen ? GetDeviceCaps(screen, LOGPIXELSX) : 96;
    const int dpiY = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen) {
        ReleaseDC(nullptr, screen);
    }
    return {1440.0 / (dpiX > 0 ? dpiX : 96), 1440.0 / (dpiY > 0 ? dpiY : 96)};
}

std::uint32_t Win32Platform::Milliseconds() {
    return GetTickCount();
}

LocalTime Win32Platform::Now() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return FromSystemTime(now);
}

LocalTime Win32Platform::LocalTimeOf(std::uint64_t fileTime) {
    const FILETIME utc = {static_cast<DWORD>(fileTime), static_cast<DWORD>(fileTime >> 32)};
    FILETIME local;
    SYSTEMTIME time;
    if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &time)) {
        return {};
    }
    return FromSystemTime(time);
}

}  // namespace tovrane
