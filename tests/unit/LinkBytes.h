// Shortcut (.lnk) files built byte by byte from the public Shell Link
// format, so that every size, count and offset in them is the test's choice.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tovrane::testing {

using Bytes = std::vector<std::uint8_t>;

inline Bytes Number(std::uint32_t value, int width = 4) {
    Bytes out;
    for (int i = 0; i < width; ++i) {
        out.push_back(value >> 8 * i & 0xFF);
    }
    return out;
}

inline Bytes& operator+=(Bytes& out, const Bytes& more) {
    out.insert(out.end(), more.begin(), more.end());
    return out;
}

inline Bytes operator+(Bytes out, const Bytes& more) {
    return out += more;
}

// Each character as a UTF-16 unit, or as one byte of an ANSI code page:
// L"\xD5\xD5\xC6\xAC" is 照片 in GBK.
inline Bytes Text(const std::wstring& text, int width) {
    Bytes out;
    for (wchar_t c : text) {
        out += Number(c, width);
    }
    return out;
}

// LinkInfo with a VolumeID and a local path (VolumeIDAndLocalBasePath): the ANSI forms, and from a
// header of 0x24 bytes on the Unicode forms too.
inline Bytes LinkInfo(const std::wstring& base, const std::wstring& suffix,
                      std::uint32_t headerSize = 0x1C, const std::wstring& wideBase = L"",
                      const std::wstring& wideSuffix = L"") {
    Bytes body = Number(0x11) + Number(2) + Number(0x1234) + Number(0x10) + Bytes{0};
    const std::wstring* strings[] = {&base, &suffix, &wideBase, &wideSuffix};
    std::uint32_t offsets[4] = {};  // of the strings, from LinkInfo's start
    for (int i = 0; i < (headerSize >= 0x24 ? 4 : 2); ++i) {
        offsets[i] = headerSize + body.size();
        body += Text(*strings[i] + L'\0', i < 2 ? 1 : 2);
    }
    Bytes out = Number(headerSize + body.size()) + Number(headerSize) + Number(1) +
                Number(headerSize) + Number(offsets[0]) + Number(0) + Number(offsets[1]) +
                Number(offsets[2]) + Number(offsets[3]);
    out.resize(headerSize);  // without the Unicode offsets in a shorter header
    return out += body;
}

inline Bytes ExtraBlock(std::uint32_t signature, std::uint32_t size) {
    Bytes block = Number(size) + Number(signature);
    block.resize(size);
    return block;
}

inline Bytes Environment(const std::wstring& ansi, const std::wstring& wide) {
    Bytes block = Number(0x314) + Number(0xA0000001) + Text(ansi, 1);
    block.resize(8 + 260);
    block += Text(wide, 2);
    block.resize(0x314);
    return block;
}

enum StringId { kName, kRelativePath, kWorkingDir, kArguments, kIconLocation };

// A shortcut to build: the header's flags follow from the parts it is given.
class Link {
public:
    Link& Ansi() { return unicode_ = false, *this; }
    // Zeros: an ID list read by mistake as what follows it makes a structure
    // that fits, not one that fails anyway.
    Link& IdList(std::size_t size) { return idList_ = Number(size, 2) + Bytes(size, 0), *this; }
    Link& Info(Bytes info) { return info_ = std::move(info), *this; }
    Link& String(StringId id, std::wstring text) { return strings_[id] = std::move(text), *this; }
    Link& Extra(Bytes block) { return extra_.push_back(std::move(block)), *this; }
    Link& Terminal(Bytes terminal) { return terminal_ = std::move(terminal), *this; }

    // `ends` gets the end of each part present: the header, the ID list, ...
    Bytes Build(std::vector<std::size_t>* ends = nullptr) const {
        std::uint32_t flags = (idList_ ? 0x01 : 0) | (info_ ? 0x02 : 0) | (unicode_ ? 0x80 : 0);
        for (int i = 0; i < 5; ++i) {
            flags |= strings_[i] ? 0x04 << i : 0;  // HasName 0x04 ... HasIconLocation 0x40
        }
        Bytes out = Number(0x4C) + Bytes{0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                         0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
        out += Number(flags);
        out.resize(0x4C);
        std::vector<std::size_t> at{out.size()};
        const auto add = [&](const Bytes& part) { at.push_back((out += part).size()); };
        if (idList_) {
            add(*idList_);
        }
        if (info_) {
            add(*info_);
        }
        for (const auto& text : strings_) {
            if (text) {
                add(Number(text->size(), 2) + Text(*text, unicode_ ? 2 : 1));
            }
        }
        std::for_each(extra_.begin(), extra_.end(), add);
        add(terminal_);
        if (ends) {
            *ends = at;
        }
        return out;
    }

private:
    bool unicode_ = true;
    std::optional<Bytes> idList_, info_;
    std::optional<std::wstring> strings_[5];
    std::vector<Bytes> extra_;
    Bytes terminal_ = Number(0);
};

// A shortcut to `target` (its relative path) with `arguments`, in Unicode.
inline std::string ShortcutTo(const std::wstring& target, const std::wstring& arguments) {
    const Bytes bytes = Link().String(kRelativePath, target).String(kArguments, arguments).Build();
    return std::string(bytes.begin(), bytes.end());
}

}  // namespace tovrane::testing
