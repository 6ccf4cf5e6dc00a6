// Shared by the programs of the Wine suites: the helper modes in which a
// test re-runs its own exe, and small checks that print readably.
#pragma once

#include <windows.h>

#include <string>

namespace tovrane::wine {

// "EXE --attributes-of PATH" exits with GetFileAttributesW(PATH): a test
// reads what a new process sees, not what its own process may have cached.
constexpr wchar_t kAttributesMode[] = L"--attributes-of";

std::wstring ThisExe();
std::wstring FolderOf(const std::wstring& path);
// An environment value set by run-suite.sh; empty when unset.
std::wstring SuiteSetting(const wchar_t* name);
// For failure messages: "0x16", and wide text as UTF-8.
std::string Hex(DWORD value);
std::string Utf8(const std::wstring& text);

}  // namespace tovrane::wine
