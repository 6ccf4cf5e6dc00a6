#include "core/ShellLink.h"

#include <cstring>

namespace tovrane {

namespace {

// ShellLinkHeader: its size, which it also states first, and the CLSID after it.
constexpr std::size_t kLinkHeaderSize = 0x4C;
constexpr std::uint8_t kLinkClsid[16] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                         0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
constexpr std::size_t kLinkFlagsAt = 0x14;

// LinkFlags: which structures follow the header.
constexpr std::uint32_t kHasLinkTargetIdList = 0x01;
constexpr std::uint32_t kHasLinkInfo = 0x02;
constexpr std::uint32_t kHasName = 0x04;
constexpr std::uint32_t kHasRelativePath = 0x08;
constexpr std::uint32_t kHasWorkingDir = 0x10;
constexpr std::uint32_t kHasArguments = 0x20;
constexpr std::uint32_t kHasIconLocation = 0x40;
constexpr std::uint32_t kIsUnicode = 0x80;

// LinkInfo: a header of at least 0x1C bytes, whose offsets count from the
// start of LinkInfo; from 0x24 bytes on it also holds the Unicode offsets.
constexpr std::uint32_t kLinkInfoHeaderSize = 0x1C;
constexpr std::uint32_t kLinkInfoHeaderSizeUnicode = 0x24;
constexpr std::uint32_t kVolumeIdAndLocalBasePath = 0x1;  // LinkInfoFlags
constexpr std::size_t kLocalBasePathOffsetAt = 0x10;
constexpr std::size_t kCommonPathSuffixOffsetAt = 0x18;
constexpr std::size_t kLocalBasePathOffsetUnicodeAt = 0x1C;
constexpr std::size_t kCommonPathSuffixOffsetUnicodeAt = 0x20;

// EnvironmentVariableDataBlock (0x314 bytes): BlockSize, signature, then
// TargetAnsi and TargetUnicode in fields of fixed size.
constexpr std::uint32_t kEnvironmentBlockSignature = 0xA0000001;
constexpr std::size_t kTargetAnsiAt = 8, kTargetAnsiSize = 260;
constexpr std::size_t kTargetUnicodeAt = 268, kTargetUnicodeSize = 520;

// A stretch of the input. Every read checks against the stretch's own end, so
// that the reads of a structure stay inside it even where the file goes on.
class Bytes {
public:
    Bytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    const std::uint8_t* data() const { return data_; }
    std::size_t size() const { return size_; }

    // The `n` bytes from `offset`, when they lie inside.
    std::optional<Bytes> Part(std::size_t offset, std::size_t n) const {
        if (offset > size_ || n > size_ - offset) {
            return std::nullopt;
        }
        return Bytes(data_ + offset, n);
    }

    // The bytes from `offset` to the end, when `offset` lies inside.
    std::optional<Bytes> From(std::size_t offset) const {
        return offset < size_ ? Part(offset, size_ - offset) : std::nullopt;
    }

    // The little-endian number of `width` bytes (at most 4) at `offset`.
    std::optional<std::uint32_t> Number(std::size_t offset, std::size_t width) const {
        const std::optional<Bytes> field = Part(offset, width);
        if (!field) {
            return std::nullopt;
        }
        std::uint32_t value = 0;
        for (std::size_t i = width; i-- > 0;) {
            value = value << 8 | field->data_[i];
        }
        return value;
    }

    // The first `n` bytes, which the stretch then no longer holds.
    std::optional<Bytes> Take(std::size_t n) {
        const std::optional<Bytes> part = Part(0, n);
        if (part) {
            data_ += n, size_ -= n;
        }
        return part;
    }

    std::optional<std::uint32_t> TakeNumber(std::size_t width) {
        const std::optional<std::uint32_t> value = Number(0, width);
        if (value) {
            Take(width);
        }
        return value;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
};

// The text at the start of `field`, ANSI bytes or UTF-16 code units, up to its
// first NUL: the shell reads no further, even in a string stored with its
// count. Nothing when `terminated` asks for a NUL and the field holds none.
std::optional<LinkText> ReadText(Bytes field, bool ansi, bool terminated) {
    LinkText text;
    bool nul = false;
    const std::size_t width = ansi ? 1 : 2;
    for (std::size_t at = 0; !nul && field.size() - at >= width; at += width) {
        const std::uint32_t unit = *field.Number(at, width);
        if (unit == 0) {
            nul = true;
        } else if (ansi) {
            text.bytes += static_cast<char>(unit);
        } else {
            text.wide += static_cast<wchar_t>(unit);
        }
    }
    if (terminated && !nul) {
        return std::nullopt;
    }
    text.ansi = ansi && !text.bytes.empty();  // so that every empty text is alike
    return text;
}

// A NUL-terminated string of LinkInfo, whose offset is the number at
// `offsetAt` of its header. It starts past the header and ends inside LinkInfo.
std::optional<LinkText> ReadLinkInfoString(Bytes info, std::uint32_t headerSize,
                                           std::size_t offsetAt, bool unicode) {
    const std::optional<std::uint32_t> offset = info.Number(offsetAt, 4);
    const std::optional<Bytes> field =
        offset && *offset >= headerSize ? info.From(*offset) : std::nullopt;
    return field ? ReadText(*field, !unicode, true) : std::nullopt;
}

// LinkInfo, which `rest` starts with: its local base path joined with its
// common path suffix, left empty when it has no local path. False when it
// does not fit.
bool ReadLinkInfo(Bytes& rest, LinkText& target) {
    const std::optional<std::uint32_t> size = rest.Number(0, 4);
    const std::optional<Bytes> info = size ? rest.Take(*size) : std::nullopt;
    const std::optional<std::uint32_t> headerSize = info ? info->Number(4, 4) : std::nullopt;
    if (!headerSize || *headerSize < kLinkInfoHeaderSize || *headerSize > info->size()) {
        return false;
    }
    if (!(*info->Number(8, 4) & kVolumeIdAndLocalBasePath)) {
        return true;  // a network path alone: nothing on a local drive
    }
    const bool unicode = *headerSize >= kLinkInfoHeaderSizeUnicode;
    const std::optional<LinkText> base = ReadLinkInfoString(
        *info, *headerSize, unicode ? kLocalBasePathOffsetUnicodeAt : kLocalBasePathOffsetAt,
        unicode);
    const std::optional<LinkText> suffix = ReadLinkInfoString(
        *info, *headerSize, unicode ? kCommonPathSuffixOffsetUnicodeAt : kCommonPathSuffixOffsetAt,
        unicode);
    if (!base || !suffix) {
        return false;
    }
    target = *base;
    target.wide += suffix->wide;
    target.bytes += suffix->bytes;
    target.ansi = !unicode && !target.bytes.empty();
    return true;
}

// One string of StringData, which `rest` starts with: CountCharacters, then as
// many UTF-16 code units, or ANSI bytes.
std::optional<LinkText> ReadCountedString(Bytes& rest, bool unicode) {
    const std::optional<std::uint32_t> count = rest.TakeNumber(2);
    const std::optional<Bytes> chars = count ? rest.Take(*count * (unicode ? 2 : 1)) : std::nullopt;
    return chars ? ReadText(*chars, !unicode, false) : std::nullopt;
}

// An environment block's target: TargetUnicode, or TargetAnsi when that is
// empty. False when the block is too small for its fields or a field holds no
// NUL.
bool ReadEnvironmentBlock(Bytes block, LinkText& target) {
    const std::optional<Bytes> ansiField = block.Part(kTargetAnsiAt, kTargetAnsiSize);
    const std::optional<Bytes> unicodeField = block.Part(kTargetUnicodeAt, kTargetUnicodeSize);
    const std::optional<LinkText> ansi =
        ansiField ? ReadText(*ansiField, true, true) : std::nullopt;
    const std::optional<LinkText> unicode =
        unicodeField ? ReadText(*unicodeField, false, true) : std::nullopt;
    if (!ansi || !unicode) {
        return false;
    }
    target = unicode->empty() ? *ansi : *unicode;
    return true;
}

// The extra data blocks up to the terminal block, whose BlockSize is below 4.
// Each other block holds at least its size and signature, so the loop ends.
bool ReadExtraData(Bytes& rest, LinkText& environment) {
    bool environmentRead = false;
    for (;;) {
        const std::optional<std::uint32_t> blockSize = rest.Number(0, 4);
        if (!blockSize) {
            return false;
        }
        if (*blockSize < 4) {
            return true;
        }
        const std::optional<Bytes> block = rest.Take(*blockSize);
        const std::optional<std::uint32_t> signature = block ? block->Number(4, 4) : std::nullopt;
        if (!signature) {
            return false;
        }
        // The first block counts, as it is the one the shell finds.
        if (*signature == kEnvironmentBlockSignature && !environmentRead) {
            if (!ReadEnvironmentBlock(*block, environment)) {
                return false;
            }
            environmentRead = true;
        }
    }
}

// What reading finds, each left empty until read.
struct Found {
    LinkText linkInfoTarget, environmentTarget, relativePath, arguments;
};

// Everything after the header, in the order it is stored. False at the first
// structure that does not fit.
bool ReadAfterHeader(Bytes rest, std::uint32_t flags, Found& found) {
    if (flags & kHasLinkTargetIdList) {
        const std::optional<std::uint32_t> idListSize = rest.TakeNumber(2);
        if (!idListSize || !rest.Take(*idListSize)) {
            return false;
        }
    }
    if ((flags & kHasLinkInfo) && !ReadLinkInfo(rest, found.linkInfoTarget)) {
        return false;
    }
    const struct {
        std::uint32_t flag;
        LinkText* into;  // null for a string that is only passed over
    } strings[] = {
        {kHasName, nullptr},         {kHasRelativePath, &found.relativePath},
        {kHasWorkingDir, nullptr},   {kHasArguments, &found.arguments},
        {kHasIconLocation, nullptr},
    };
    for (const auto& string : strings) {
        if (!(flags & string.flag)) {
            continue;
        }
        const std::optional<LinkText> text = ReadCountedString(rest, flags & kIsUnicode);
        if (!text) {
            return false;
        }
        if (string.into) {
            *string.into = *text;
        }
    }
    return ReadExtraData(rest, found.environmentTarget);
}

}  // namespace

bool operator==(const LinkText& a, const LinkText& b) {
    return a.ansi == b.ansi && a.wide == b.wide && a.bytes == b.bytes;
}

bool operator==(const ShellLink& a, const ShellLink& b) {
    return a.targets == b.targets && a.arguments == b.arguments && a.complete == b.complete;
}

std::optional<ShellLink> ReadShellLink(const std::uint8_t* data, std::size_t size) {
    Bytes rest(data, size);
    const std::optional<Bytes> header = rest.Take(kLinkHeaderSize);
    if (!header || *header->Number(0, 4) != kLinkHeaderSize ||
        std::memcmp(header->data() + 4, kLinkClsid, sizeof kLinkClsid) != 0) {
        return std::nullopt;
    }
    Found found;
    ShellLink link;
    link.complete = ReadAfterHeader(rest, *header->Number(kLinkFlagsAt, 4), found);
    for (const LinkText* target :
         {&found.linkInfoTarget, &found.environmentTarget, &found.relativePath}) {
        if (!target->empty()) {
            link.targets.push_back(*target);
        }
    }
    link.arguments = found.arguments;
    return link;
}

}  // namespace tovrane
