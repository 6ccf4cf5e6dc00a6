// The shortcut reader on bytes built here from the public Shell Link format,
// not on files some system wrote: every size, count and offset is chosen.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "core/ShellLink.h"
#include "tests/unit/LinkBytes.h"

namespace tovrane {

void PrintTo(const LinkText& text, std::ostream* os) {
    *os << (text.ansi ? 'A' + ::testing::PrintToString(text.bytes)
                      : 'W' + ::testing::PrintToString(text.wide));
}

void PrintTo(const ShellLink& link, std::ostream* os) {
    *os << "{targets " << ::testing::PrintToString(link.targets) << ", arguments "
        << ::testing::PrintToString(link.arguments)
        << (link.complete ? ", complete}" : ", stopped}");
}

namespace {

using namespace testing;

// The first `size` bytes in a heap block of exactly that size, so that the
// sanitizers report any read past it.
std::optional<ShellLink> Read(const Bytes& bytes, std::size_t size = SIZE_MAX) {
    size = std::min(size, bytes.size());
    const std::unique_ptr<std::uint8_t[]> block(new std::uint8_t[size]);
    std::copy_n(bytes.begin(), size, block.get());
    return ReadShellLink(block.get(), size);
}

LinkText W(const std::wstring& text) {
    return {false, text, {}};
}
LinkText A(const std::string& bytes) {
    return {true, {}, bytes};
}

ShellLink Answer(std::vector<LinkText> targets, LinkText arguments = {}, bool complete = true) {
    return {std::move(targets), std::move(arguments), complete};
}

// Every part a link may hold: its targets all disagree, and its strings are
// Unicode, or ANSI with GBK names. Build gives where each part ends: the
// header, the ID list, LinkInfo, five strings, two extra blocks, the terminal.
constexpr std::size_t kIdList = 1, kInfo = 2, kRelative = 4, kArgs = 6, kOther = 8, kEnv = 9;
constexpr std::size_t kEnd = 10;

// Arguments longer than MAX_PATH.
const std::wstring kLongArguments =
    L"/c start x.vbs & start explorer Photos " + std::wstring(1000, L'x');

Link Full(bool unicode) {
    Link link;
    return (unicode ? link : link.Ansi())
        .IdList(20)
        .Info(unicode ? LinkInfo(L"C:\\?", L"", 0x24, L"E:\\照片\\", L"x.exe")
                      : LinkInfo(L"E:\\\xD5\xD5\xC6\xAC\\", L"x.exe"))
        .String(kName, L"cmd.exe")
        .String(kRelativePath, unicode ? L".\\Photos.exe" : L".\\\xD5\xD5.exe")
        .String(kWorkingDir, L"C:\\WINDOWS\\system32\\cmd.exe")
        .String(kArguments, kLongArguments)
        .String(kIconLocation, L"cmd.exe")
        .Extra(ExtraBlock(0xA0000003, 0x60))
        .Extra(Environment(L"%windir%\\cmd.exe", unicode ? L"%windir%\\cmd.exe" : L""));
}

TEST(ReadShellLink, GivesEveryTargetInOrderAndTheArgumentsInFull) {
    // A LinkInfo all header, whose flags say CommonNetworkRelativeLinkAndPathSuffix alone.
    Bytes networkInfo = Number(0x1C) + Number(0x1C) + Number(2);
    networkInfo.resize(0x1C);
    const struct {
        const char* what;
        Link link;
        ShellLink expected;
    } cases[] = {
        {"Unicode: targets that disagree; LinkInfo's Unicode forms; no name, folder or icon",
         Full(true),
         Answer({W(L"E:\\照片\\x.exe"), W(L"%windir%\\cmd.exe"), W(L".\\Photos.exe")},
                W(kLongArguments))},
        {"ANSI: GBK names as bytes; the environment block's ANSI form, its Unicode one empty",
         Full(false),
         Answer({A("E:\\\xD5\xD5\xC6\xAC\\x.exe"), A("%windir%\\cmd.exe"), A(".\\\xD5\xD5.exe")},
                A(std::string(kLongArguments.begin(), kLongArguments.end())))},
        {"LinkInfo only, base and suffix joined; bytes after the terminal block are ignored",
         Link()
             .Info(LinkInfo(L"E:\\RECYCLER\\", L"x.exe"))
             .Terminal(Number(3) + Environment(L"", L"b.exe")),
         Answer({A("E:\\RECYCLER\\x.exe")})},
        {"a LinkInfo header of 0x20 bytes holds no Unicode offsets",
         Link().Info(LinkInfo(L"E:\\a.exe", L"", 0x20)), Answer({A("E:\\a.exe")})},
        {"a network LinkInfo names no local target", Link().Info(networkInfo), Answer({})},
        {"environment block only: the first such block counts, others are passed over",
         Link()
             .Extra(ExtraBlock(0xA0000003, 0x60))
             .Extra(Environment(L"%windir%\\a.exe", L"%windir%\\system32\\cmd.exe"))
             .Extra(Environment(L"", L"second.exe")),
         Answer({W(L"%windir%\\system32\\cmd.exe")})},
        {"a NUL ends a counted string; an empty ANSI string is no text",
         Link()
             .Ansi()
             .String(kRelativePath, std::wstring(L"a.exe\0b", 7))
             .String(kArguments, std::wstring(L"\0/c", 3)),
         Answer({A("a.exe")})},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Read(c.link.Build()), c.expected) << c.what;
    }
}

TEST(ReadShellLink, NothingUnlessHeaderSizeAndClsidSaySo) {
    Bytes link = Link().IdList(8).Build();
    EXPECT_EQ(Read(link), Answer({})) << "ID list only: the target is unknown";
    link[0x4D] = 0xFF;  // IDListSize past the end
    EXPECT_EQ(Read(link), Answer({}, {}, false)) << "an ID list that does not fit";
    for (std::size_t i = 0; i < 20; ++i) {
        Bytes changed = link;
        changed[i] ^= 0x20;
        EXPECT_EQ(Read(changed), std::nullopt) << "byte " << i << " changed";
    }
}

// What a link cut after `n` bytes holds: what its whole parts give.
ShellLink ReadUpTo(const ShellLink& whole, const std::vector<std::size_t>& ends, std::size_t n) {
    std::vector<LinkText> targets;
    const std::size_t places[] = {kInfo, kEnv, kRelative};  // where each target is, in order
    for (std::size_t i = 0; i < 3; ++i) {
        if (n >= ends[places[i]]) {
            targets.push_back(whole.targets.at(i));
        }
    }
    return Answer(targets, n >= ends[kArgs] ? whole.arguments : LinkText{}, n >= ends[kEnd]);
}

// A link cut short, and sizes, counts and offsets that lie within it.
TEST(ReadShellLink, ACutLinkOrOneThatLiesGivesWhatItsWholePartsHoldAndNoMore) {
    std::vector<std::size_t> ends[2];  // of the Unicode link, and of the ANSI one
    const Bytes links[2] = {Full(true).Build(&ends[0]), Full(false).Build(&ends[1])};
    const ShellLink wholes[2] = {*Read(links[0]), *Read(links[1])};
    for (bool ansi : {false, true}) {
        for (std::size_t n = 0; n <= links[ansi].size(); ++n) {
            EXPECT_EQ(
                Read(links[ansi], n),
                n < 0x4C ? std::nullopt : std::optional(ReadUpTo(wholes[ansi], ends[ansi], n)))
                << n << " of " << links[ansi].size() << " bytes" << (ansi ? ", ANSI" : "");
        }
    }
    const std::uint32_t uInfoSize = ends[0][kInfo] - ends[0][kIdList];
    const std::uint32_t aInfoSize = ends[1][kInfo] - ends[1][kIdList];
    const struct {
        const char* what;
        bool ansi;
        std::size_t part;
        std::vector<std::pair<std::size_t, Bytes>> patches;  // at, within the part
    } cases[] = {
        // clang-format off
        {"LinkInfoSize 0xFFFFFFFF", false, kInfo, {{0, Number(0xFFFFFFFF)}}},
        {"LinkInfoHeaderSize too small", false, kInfo, {{4, Number(0x1B)}}},
        {"LinkInfoHeaderSize past a network LinkInfo's size", false, kInfo,
         {{4, Number(uInfoSize + 1)}, {8, Number(2)}}},
        {"LocalBasePathOffset 0xFFFFFFFF", true, kInfo, {{0x10, Number(0xFFFFFFFF)}}},
        {"LocalBasePathOffset inside the header", true, kInfo, {{0x10, Number(4)}}},
        {"CommonPathSuffixOffset at LinkInfoSize", true, kInfo, {{0x18, Number(aInfoSize)}}},
        {"an ANSI suffix, its NUL past LinkInfoSize", true, kInfo, {{0, Number(aInfoSize - 1)}}},
        {"LocalBasePathOffsetUnicode in a header of 0x24", false, kInfo, {{0x1C, Number(0x20)}}},
        {"CommonPathSuffixOffsetUnicode 0xFFFFFFFF", false, kInfo, {{0x20, Number(0xFFFFFFFF)}}},
        {"a Unicode suffix, half its NUL in LinkInfo", false, kInfo, {{0, Number(uInfoSize - 1)}}},
        {"BlockSize 0xFFFFFFFF", false, kOther, {{0, Number(0xFFFFFFFF)}}},
        {"BlockSize 4: no room for a signature", true, kOther, {{0, Number(4)}}},
        {"an environment block too small for its fields", false, kEnv, {{0, Number(0x313)}}},
        {"TargetAnsi without a NUL", false, kEnv, {{8, Bytes(260, 'x')}}},
        {"TargetUnicode without a NUL", true, kEnv, {{268, Bytes(520, 'x')}}},
        // clang-format on
    };
    for (const auto& c : cases) {
        Bytes link = links[c.ansi];
        const std::vector<std::size_t>& at = ends[c.ansi];
        for (const auto& [offset, bytes] : c.patches) {
            std::copy(bytes.begin(), bytes.end(), link.begin() + at[c.part - 1] + offset);
        }
        EXPECT_EQ(Read(link), ReadUpTo(wholes[c.ansi], at, at[c.part - 1])) << c.what;
    }
}

}  // namespace
}  // namespace tovrane
