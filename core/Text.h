// Small text helpers that the core's messages and names share.
#pragma once

#include <cstdint>
#include <string>

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

}  // namespace tovrane
