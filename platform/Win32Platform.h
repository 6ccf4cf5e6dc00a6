// The platform services on Windows (XP SP3 and later).
#pragma once

#include <windows.h>

#include "platform/Platform.h"

namespace tovrane {

class Win32Platform : public Platform {
public:
    std::wstring LogicalDriveStrings() override;
    DriveType DriveTypeOf(const std::wstring& root) override;
    bool HasMedium(const std::wstring& root) override;
    std::wstring VolumeNameOf(const std::wstring& root) override;
    VolumeIdentity IdentityOf(const std::wstring& root) override;
    bool IsUsbDisk(const std::wstring& root) override;

    PathKind GetPathKind(const std::wstring& path) override;
    OsResult SetAttributes(const std::wstring& path, std::uint32_t mask) override;
    OsResult RemoveFile(const std::wstring& path) override;
    OsResult CopyFileTo(const std::wstring& from, const std::wstring& to) override;

    std::unique_ptr<FolderListing> ListFolder(const std::wstring& folder) override;
    bool LookUp(const std::wstring& path, FileEntry& entry) override;
    bool ReadSmallFile(const std::wstring& path, std::size_t maxBytes,
                       std::vector<std::uint8_t>& bytes) override;
    OsResult MakeFolder(const std::wstring& path) override;
    OsResult MovePath(const std::wstring& from, const std::wstring& to) override;
    OsResult AppendText(const std::wstring& path, const std::wstring& text) override;
    std::wstring FromAnsi(const std::string& bytes) override;

    std::unique_ptr<StartedProcess> StartProgram(const std::wstring& application,
                                                 const std::wstring& commandLine,
                                                 ShowStyle style) override;

    std::wstring WindowsFolder() override;
    std::wstring SystemFolder() override;
    std::wstring CommonStartupFolder() override;
    std::wstring ExecutablePath() override;
    bool IsSameFile(const std::wstring& a, const std::wstring& b) override;

    std::vector<std::wstring> UserSubkeys(const std::wstring& key) override;
    RegistryText UserDefaultText(const std::wstring& key) override;
    OsResult DeleteUserKey(const std::wstring& key) override;
    OsResult DeleteUserDefaultValue(const std::wstring& key) override;

    void ShowMessage(const std::wstring& text, MessageIcon icon,
                     const std::wstring& title) override;
    TwipsPerPixel ScreenTwipsPerPixel() override;

    std::uint32_t Milliseconds() override;
    LocalTime Now() override;
    LocalTime LocalTimeOf(std::uint64_t fileTime) override;

    // Message boxes belong to this window while it is visible, and to no
    // window while it is hidden in the tray.
    void SetMainWindow(HWND window) { mainWindow_ = window; }

private:
    HWND mainWindow_ = nullptr;
};

}  // namespace tovrane
