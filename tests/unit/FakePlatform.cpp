#include "tests/unit/FakePlatform.h"

namespace tovrane::testing {

namespace {

class FakeProcess : public StartedProcess {
public:
    explicit FakeProcess(std::vector<std::uint32_t>& waits) : waits_(waits) {}
    bool WaitForExit(std::uint32_t timeoutMs) override {
        waits_.push_back(timeoutMs);
        return true;
    }

private:
    std::vector<std::uint32_t>& waits_;
};

const FakeDrive* DriveAt(const std::map<wchar_t, FakeDrive>& drives, const std::wstring& root) {
    if (root.size() != 3 || root.substr(1) != L":\\") {
        return nullptr;
    }
    const auto found = drives.find(root[0]);
    return found == drives.end() ? nullptr : &found->second;
}

}  // namespace

std::wstring FakePlatform::LogicalDriveStrings() {
    std::wstring buffer;
    for (const auto& [letter, drive] : drives) {
        buffer += letter;
        buffer += L":\\";
        buffer += L'\0';
    }
    buffer.resize(1024, L'\0');
    return buffer;
}

DriveType FakePlatform::DriveTypeOf(const std::wstring& root) {
    queried.push_back(root);
    const FakeDrive* drive = DriveAt(drives, root);
    return drive ? drive->type : DriveType::NoRootDir;
}

bool FakePlatform::HasMedium(const std::wstring& root) {
    const FakeDrive* drive = DriveAt(drives, root);
    return drive && drive->hasMedium;
}

PathKind FakePlatform::GetPathKind(const std::wstring& path) {
    const auto found = paths.find(path);
    return found == paths.end() ? PathKind::Missing : found->second;
}

OsResult FakePlatform::SetAttributes(const std::wstring& path, std::uint32_t mask) {
    calls.push_back(L"attrib " + std::to_wstring(mask) + L" " + path);
    if (GetPathKind(path) == PathKind::Missing) {
        return OsResult::Failed(2);
    }
    attributes[path] = mask;
    return OsResult::Ok();
}

OsResult FakePlatform::RemoveFile(const std::wstring& path) {
    calls.push_back(L"delete " + path);
    if (GetPathKind(path) != PathKind::File || undeletable.count(path)) {
        return OsResult::Failed(5);
    }
    paths.erase(path);
    attributes.erase(path);
    return OsResult::Ok();
}

OsResult FakePlatform::CopyFileTo(const std::wstring& from, const std::wstring& to) {
    calls.push_back(L"copy " + from + L" -> " + to);
    if (GetPathKind(from) != PathKind::File || GetPathKind(to) == PathKind::Folder ||
        uncopyable.count(to)) {
        return OsResult::Failed(5);
    }
    paths[to] = PathKind::File;
    return OsResult::Ok();
}

std::unique_ptr<StartedProcess> FakePlatform::StartProgram(const std::wstring& application,
                                                           const std::wstring& commandLine,
                                                           ShowStyle style) {
    calls.push_back(L"start " + application + L" [" + commandLine + L"] style " +
                    std::to_wstring(static_cast<int>(style)));
    if (startFails) {
        return nullptr;
    }
    const auto made = folderMadeBy.find(commandLine);
    if (made != folderMadeBy.end() && GetPathKind(made->second) == PathKind::Missing) {
        paths[made->second] = PathKind::Folder;
    }
    return std::make_unique<FakeProcess>(waits);
}

}  // namespace tovrane::testing
