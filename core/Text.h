// Small text helpers that the core's messages and names share.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

namespace tovrane {

// The decimal digits of `n`. Not std::to_wstring: in the Windows build that
// brings in the C runtime's whole printf, locale and wide streams with it.
inline std::wstring Decimal(std::uint64_t n) {
    std::wstring digits;
    do {
        digits.insert(digits.begin(), static_cast<wchar_t>(L'0' + n % 10));
        n /= 10;
    } while (n != 0);
    return digits;
}

// Names compare with ASCII case folding only. The file system folds more
// letters (accented Latin, Greek, Cyrillic), so two names it takes for one
// may stay two here: a launcher then goes unrecognised rather than matched
// wrongly, and a new name already taken in that way is refused by the file
// system. The names that matter to the core (the worm's, the system's,
// registry verbs) are ASCII or Chinese.
inline wchar_t FoldCase(wchar_t c) {
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

inline std::wstring Folded(std::wstring_view text) {
    std::wstring folded(text);
    std::transform(folded.begin(), folded.end(), folded.begin(), FoldCase);
    return folded;
}

inline bool SameName(std::wstring_view a, std::wstring_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](wchar_t x, wchar_t y) {
               return FoldCase(x) == FoldCase(y);
           });
}

inline bool StartsWith(std::wstring_view text, std::wstring_view prefix) {
    return text.size() >= prefix.size() && SameName(text.substr(0, prefix.size()), prefix);
}

inline bool EndsWith(std::wstring_view text, std::wstring_view suffix) {
    return text.size() >= suffix.size() &&
           SameName(text.substr(text.size() - suffix.size()), suffix);
}

}  // namespace tovrane
