// The application's name as the user sees it.
#pragma once

namespace tovrane {

// Titles the windows and the message boxes that have no title of their own.
constexpr wchar_t kAppTitle[] = L"Tovrane";

}  // namespace tovrane
