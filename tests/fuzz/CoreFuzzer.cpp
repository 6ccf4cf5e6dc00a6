// One libFuzzer target for the core's readers of outside input. The first
// byte picks the reader (mod 5: the seeds start with 'A' to 'E'), the rest is
// its input; each reader's answer is checked against what its header
// promises, so a wrong answer fails too.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "core/DeviceBroadcast.h"
#include "core/DriveList.h"
#include "core/ShellLink.h"
#include "core/TrayGesture.h"

using namespace tovrane;

#define CHECK(holds) \
    ((holds) ? void() : (std::fprintf(stderr, "CoreFuzzer: %s\n", #holds), std::abort()))

namespace {

template <typename T>
T Take(const std::uint8_t*& data, std::size_t& size) {
    T value = 0;
    const std::size_t n = std::min(sizeof value, size);
    std::memcpy(&value, data, n);
    data += n, size -= n;
    return value;
}

// Bytes from 0x80 become characters whose low byte is ASCII (0xC1 gives
// U+C141), so that narrowing a character to char would show as a letter.
std::wstring Widen(const std::uint8_t* data, std::size_t size) {
    std::wstring text;
    for (std::size_t i = 0; i < size; ++i) {
        const unsigned b = data[i];
        text += static_cast<wchar_t>(b < 0x80 ? b : b << 8 | (b & 0x7F));
    }
    return text;
}

void FuzzParse(const std::uint8_t* data, std::size_t size) {
    const std::wstring text = Widen(data, size);
    const DriveLetter letter = ParseDriveLetter(text);
    std::wstring flipped = text;  // the letter's case must not matter
    for (wchar_t& c : flipped) {
        if ((c | 0x20) >= L'a' && (c | 0x20) <= L'z') {
            c ^= 0x20;
        }
    }
    CHECK(ParseDriveLetter(flipped) == letter);
    if (letter.empty()) {
        return;
    }
    CHECK(letter.size() == 1 && letter[0] >= L'A' && letter[0] <= L'Z');
    const std::size_t first = text.find_first_not_of(L' ');  // a written form within spaces
    std::wstring body = text.substr(first, text.find_last_not_of(L' ') + 1 - first);
    body[0] &= ~0x20;  // in either case
    CHECK(body == letter || body == letter + L":" || body == letter + L":\\");
    for (const wchar_t* tail : {L"", L":", L":\\"}) {  // every written form reads back
        CHECK(ParseDriveLetter(L' ' + letter + tail) == letter);
    }
}

void FuzzSplit(const std::uint8_t* data, std::size_t size) {
    const std::wstring text = Widen(data, size);
    const std::vector<DriveLetter> tokens = SplitDriveLetters(text);
    CHECK(tokens.empty() == text.empty());
    std::wstring joined, withoutA = text;
    withoutA.erase(std::remove(withoutA.begin(), withoutA.end(), L'A'), withoutA.end());
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        CHECK(tokens[i].find(L":\\") == std::wstring::npos);
        joined += (i ? L":\\" : L"") + tokens[i];
    }
    CHECK(joined == withoutA);
}

void FuzzBroadcast(const std::uint8_t* data, std::size_t size) {
    const std::uintptr_t event = kDeviceArrival + (Take<std::uint8_t>(data, size) & 7);
    std::uint32_t field[4] = {};  // size, device type, reserved, unit mask: as far as given
    std::memcpy(field, data, std::min(size, sizeof field));
    const std::uint32_t claimed = field[0];
    // A record too short to hold its own size, or one that claims more than it
    // holds, is out: Windows hands over a bare address, so nothing could tell
    // its reader where the memory ends.
    if (size < 4 || claimed > size) {
        return;
    }
    // The record gets a heap block of exactly its claimed size, the rest of the
    // input cut off, so that ASan reports any read past the record's own size.
    const std::vector<std::uint8_t> record(data, data + std::max<std::uint32_t>(claimed, 4));
    const DeviceBroadcast read = ReadDeviceBroadcast(event, record.data());

    const bool volume = claimed >= kHeaderSize && field[1] == kDeviceTypeVolume;
    CHECK(read.event == (!volume                          ? DeviceEvent::Other
                         : event == kDeviceArrival        ? DeviceEvent::VolumeArrival
                         : event == kDeviceRemoveComplete ? DeviceEvent::VolumeRemoval
                                                          : DeviceEvent::Other));
    const bool hasMask = read.event != DeviceEvent::Other && claimed >= kVolumeRecordSize;
    CHECK(read.unitMask == (hasMask ? field[3] & 0x03FFFFFFu : 0));  // bits 0 (A:) to 25 (Z:)
}

void FuzzTray(const std::uint8_t* data, std::size_t size) {
    const auto wParam = Take<std::uintptr_t>(data, size);
    const auto lParam = Take<std::intptr_t>(data, size);
    const TrayGesture gesture = DecodeTrayNotification(wParam, lParam);
    const bool icon = wParam == kTrayIconId;
    CHECK(gesture == (icon && lParam == 0x0203   ? TrayGesture::LeftDoubleClick
                      : icon && lParam == 0x0205 ? TrayGesture::RightButtonUp
                                                 : TrayGesture::None));
}

// The first `size` bytes in a heap block of exactly that size, so that ASan
// reports any read past them.
std::optional<ShellLink> ReadExactly(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> block(data, data + size);
    return ReadShellLink(block.data(), size);
}

// The text as the input would hold it: its bytes, or its UTF-16LE units.
std::string Stored(const LinkText& text) {
    std::string stored = text.bytes;
    for (const wchar_t unit : text.wide) {
        CHECK(static_cast<std::uint32_t>(unit) <= 0xFFFF);
        stored += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
    }
    return stored;
}

bool Holds(const std::uint8_t* data, std::size_t size, const std::string& part) {
    const auto same = [](std::uint8_t b, char c) { return b == static_cast<std::uint8_t>(c); };
    return std::search(data, data + size, part.begin(), part.end(), same) != data + size;
}

// A text of the answer: in one form, without NUL, and as the input holds it.
// A text `joined` from two strings of the input has its first half or its
// last half in one of them, whichever is the longer.
void CheckText(const LinkText& text, const std::uint8_t* data, std::size_t size, bool joined) {
    CHECK(text.ansi ? text.wide.empty() : text.bytes.empty());
    CHECK(text.bytes.find('\0') == std::string::npos);
    CHECK(std::find(text.wide.begin(), text.wide.end(), 0) == text.wide.end());
    const std::string stored = Stored(text);
    const std::size_t half = stored.size() / (text.ansi ? 2 : 4) * (text.ansi ? 1 : 2);
    CHECK(joined ? Holds(data, size, stored.substr(0, half)) ||
                       Holds(data, size, stored.substr(stored.size() - half))
                 : Holds(data, size, stored));
}

// `part` is `whole` with some of its items left out, the rest in order.
bool IsPartOf(const std::vector<LinkText>& part, const std::vector<LinkText>& whole) {
    auto at = whole.begin();
    for (const LinkText& item : part) {
        at = std::find(at, whole.end(), item);
        if (at++ == whole.end()) {
            return false;
        }
    }
    return true;
}

void FuzzShellLink(const std::uint8_t* data, std::size_t size) {
    static const std::uint8_t kStart[20] = {0x4C, 0,    0,    0,    0x01, 0x14, 0x02,
                                            0x00, 0x00, 0x00, 0x00, 0x00, 0xC0, 0,
                                            0,    0,    0,    0,    0,    0x46};
    const std::optional<ShellLink> link = ReadExactly(data, size);
    CHECK(link.has_value() == (size >= 0x4C && std::memcmp(data, kStart, 20) == 0));
    if (!link) {
        return;
    }
    std::uint32_t flags;
    std::memcpy(&flags, data + 0x14, sizeof flags);
    const bool hasLinkInfo = flags & 0x02, unicode = flags & 0x80;
    // LinkInfo, the environment block and the relative path give one target each.
    CHECK(link->targets.size() <= hasLinkInfo + 1u + ((flags & 0x08) != 0));
    for (std::size_t i = 0; i < link->targets.size(); ++i) {
        CHECK(!link->targets[i].empty());
        CheckText(link->targets[i], data, size, i == 0 && hasLinkInfo);
    }
    const LinkText& arguments = link->arguments;
    CHECK(arguments.empty() || ((flags & 0x20) && arguments.ansi == !unicode));
    CheckText(arguments, data, size, false);

    // A link cut short gives what the whole one gives, or less, never other
    // things; once it has read the terminal block the rest changes nothing.
    for (std::size_t k = 1; k <= 8; ++k) {
        for (const std::size_t cut : {size * k / 8, size - std::min(size, k)}) {
            const std::optional<ShellLink> part = ReadExactly(data, cut);
            CHECK(part.has_value() == (cut >= 0x4C));
            if (part) {
                CHECK(IsPartOf(part->targets, link->targets));
                CHECK(part->arguments.empty() || part->arguments == link->arguments);
                CHECK(!part->complete || *part == *link);
            }
        }
    }
    if (link->complete) {
        std::vector<std::uint8_t> longer(data, data + size);
        longer.insert(longer.end(), data, data + size);
        CHECK(ReadExactly(longer.data(), longer.size()) == link);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static void (*const kReaders[])(const std::uint8_t*, std::size_t) = {
        FuzzParse, FuzzSplit, FuzzBroadcast, FuzzTray, FuzzShellLink};
    if (size > 0) {
        kReaders[data[0] % std::size(kReaders)](data + 1, size - 1);
    }
    return 0;
}
