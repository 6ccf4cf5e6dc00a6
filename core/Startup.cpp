#include "core/Startup.h"

#include "core/AppInfo.h"

namespace tovrane {

namespace {

// Where the copy goes when the shell names no Startup folder: the folder of
// a Simplified-Chinese Windows XP.
const wchar_t kFallbackStartupFolder[] =
    L"C:\\Documents and Settings\\All Users\\「开始」菜单\\程序\\启动";
const wchar_t kStartupCopyName[] = L"kelvo.exe";

const wchar_t kNeedsWriteAccess[] =
    L"\n\n请确认该文件夹可以写入（较新的 Windows 需要管理员权限）。";

void Tell(Platform& os, const std::wstring& text) {
    os.ShowMessage(text, MessageIcon::Warning, kAppTitle);
}

bool AddToStartup(Platform& os, const std::wstring& copy) {
    // The running executable by its full path: Windows starts the program
    // from elsewhere than its own folder, so a bare name would miss it.
    const std::wstring self = os.ExecutablePath();
    if (os.IsSameFile(self, copy)) {
        return true;  // this is the startup copy: it is there already
    }
    if (!os.CopyFileTo(self, copy)) {
        Tell(os, L"无法加入开机自启动：本程序未能复制到\n" + copy + kNeedsWriteAccess);
        return false;
    }
    return true;
}

bool RemoveFromStartup(Platform& os, const std::wstring& copy) {
    if (os.GetPathKind(copy) == PathKind::Missing) {
        return true;  // nothing to remove is no failure
    }
    if (os.IsSameFile(os.ExecutablePath(), copy)) {
        Tell(os, L"无法取消开机自启动：正在运行的就是启动文件夹中的副本，它不能删除自己。\n" +
                     copy + L"\n\n请退出本程序后删除该文件。");
        return false;
    }
    if (!os.RemoveFile(copy)) {
        Tell(os, L"无法取消开机自启动：未能删除\n" + copy + kNeedsWriteAccess);
        return false;
    }
    return true;
}

}  // namespace

std::wstring StartupCopyPath(Platform& os) {
    std::wstring folder = os.CommonStartupFolder();
    if (folder.empty()) {
        folder = kFallbackStartupFolder;
    }
    if (folder.back() != L'\\') {
        folder += L'\\';
    }
    return folder + kStartupCopyName;
}

bool IsInStartup(Platform& os) {
    return os.GetPathKind(StartupCopyPath(os)) == PathKind::File;
}

int ApplyStartupChoice(Platform& os, int value) {
    const std::wstring copy = StartupCopyPath(os);
    if (value == 1) {
        return AddToStartup(os, copy) ? 1 : 0;
    }
    return RemoveFromStartup(os, copy) ? value : 1;
}

}  // namespace tovrane
