// Lets GoogleTest print wide strings readably in failure messages.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace tovrane::testing {

inline std::string Narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) {
        if (c >= 0x20 && c < 0x7f) {
            out += static_cast<char>(c);
        } else {
            out += "\\u{" + std::to_string(static_cast<unsigned long>(c)) + "}";
        }
    }
    return out;
}

}  // namespace tovrane::testing
