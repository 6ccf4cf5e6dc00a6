// The shortcut reader on bytes built here from the public Shell Link format,
// not on files some system wrote: every size, count and offset is chosen.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "core/ShellLink.h"
#include "tests/unit/LinkBytes.h"

namespace tovrane {

void PrintTo(const LinkText& text, std::ostream* os) {
    *os << (text.ansi ? "A\"" : "W\"") << std::hex;
    for (std::size_t i = 0; i < std::max(text.bytes.size(), text.wide.size()); ++i) {
        const unsigned c = text.ansi ? static_cast<unsigned char>(text.bytes[i]) : text.wide[i];
        if (c >= 0x20 && c < 0x7F) {
            *os << static_cast<char>(c);
        } else {
            *os << "\\x" << c;
        }
    }
    *os << std::dec << '"';
}

void PrintTo(const ShellLink& link, std::ostream* os) {
    *os << "{targets";
    for (const LinkText& target : link.targets) {
        PrintTo(target, &(*os << ' '));
    }
    PrintTo(link.arguments, &(*os << ", arguments "));
    *os << (link.complete ? ", complete}" : ", stopped}");
}

namespace {

using namespace testing;

std::uint32_t Get(const Bytes& bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (int i = 4; i-- > 0;) {
        value = value << 8 | bytes.at(at + i);
    }
    return value;
}

// The first `size` bytes in a heap block of exactly that size, so that the
// sanitizers report any read past it.
std::optional<ShellLink> Read(const Bytes& bytes, std::size_t size) {
    const std::unique_ptr<std::uint8_t[]> block(new std::uint8_t[size]);
    std::copy_n(bytes.begin(), size, block.get());
    return ReadShellLink(block.get(), size);
}

std::optional<ShellLink> Read(const Bytes& bytes) {
    return Read(bytes, bytes.size());
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

TEST(ReadShellLink, GivesEveryTargetInOrderAndTheArgumentsInFull) {
    const std::wstring longArguments = L"/c start " + std::wstring(1000, L'x') + L".vbs";
    const Bytes gbkInfo = LinkInfo(L"E:\\\xD5\xD5\xC6\xAC\\", L"x.exe");
    Bytes networkInfo = LinkInfo(L"E:\\x.exe", L"");
    networkInfo[8] = 2;  // CommonNetworkRelativeLinkAndPathSuffix alone
    const struct {
        const char* what;
        Link link;
        ShellLink expected;
    } cases[] = {
        {"LinkInfo only, base and suffix joined",
         Link().Info(LinkInfo(L"E:\\RECYCLER\\", L"x.exe")), Answer({A("E:\\RECYCLER\\x.exe")})},
        {"LinkInfo's Unicode forms before its ANSI ones",
         Link().Info(LinkInfo(L"C:\\?", L"", 0x24, L"E:\\照片\\", L"cmd.exe")),
         Answer({W(L"E:\\照片\\cmd.exe")})},
        {"a LinkInfo header of 0x20 bytes holds no Unicode offsets",
         Link().Info(LinkInfo(L"E:\\a.exe", L"", 0x20)), Answer({A("E:\\a.exe")})},
        {"a GBK LinkInfo path as its bytes", Link().Info(gbkInfo),
         Answer({A("E:\\\xD5\xD5\xC6\xAC\\x.exe")})},
        {"a network LinkInfo names no local target", Link().Info(networkInfo), Answer({})},
        {"environment block only",
         Link().Extra(Environment(L"%windir%\\a.exe", L"%windir%\\system32\\cmd.exe")),
         Answer({W(L"%windir%\\system32\\cmd.exe")})},
        {"the environment block's ANSI form when the Unicode one is empty",
         Link().Extra(Environment(L"%TEMP%\\\xD5\xD5.exe", L"")),
         Answer({A("%TEMP%\\\xD5\xD5.exe")})},
        {"the first environment block counts, other blocks are passed over",
         Link()
             .Extra(ExtraBlock(0xA0000003, 0x60))
             .Extra(Environment(L"", L"first.exe"))
             .Extra(Environment(L"", L"second.exe")),
         Answer({W(L"first.exe")})},
        {"ID list only: the target is unknown", Link().IdList(20), Answer({})},
        {"relative path", Link().String(kRelativePath, L"..\\x\\cmd.exe"),
         Answer({W(L"..\\x\\cmd.exe")})},
        {"targets that disagree, each in its place",
         Link()
             .IdList(3)
             .Info(LinkInfo(L"C:\\WINDOWS\\system32\\cmd.exe", L""))
             .String(kRelativePath, L".\\Photos.exe")
             .Extra(Environment(L"", L"%windir%\\explorer.exe")),
         Answer({A("C:\\WINDOWS\\system32\\cmd.exe"), W(L"%windir%\\explorer.exe"),
                 W(L".\\Photos.exe")})},
        {"name, working folder and icon are no targets",
         Link()
             .String(kName, L"cmd.exe")
             .String(kRelativePath, L"a.exe")
             .String(kWorkingDir, L"cmd.exe")
             .String(kArguments, L"/c x.vbs")
             .String(kIconLocation, L"cmd.exe"),
         Answer({W(L"a.exe")}, W(L"/c x.vbs"))},
        {"ANSI strings: a GBK relative path as its bytes",
         Link().Ansi().String(kRelativePath, L"\xD5\xD5\xC6\xAC.exe").String(kArguments, L"/c"),
         Answer({A("\xD5\xD5\xC6\xAC.exe")}, A("/c"))},
        {"Unicode arguments of 1013 characters", Link().String(kArguments, longArguments),
         Answer({}, W(longArguments))},
        {"ANSI arguments of 1013 characters", Link().Ansi().String(kArguments, longArguments),
         Answer({}, A(std::string(longArguments.begin(), longArguments.end())))},
        {"a NUL ends a counted string",
         Link()
             .String(kRelativePath, std::wstring(L"a.exe\0b", 7))
             .String(kArguments, std::wstring(L"\0/c", 3)),
         Answer({W(L"a.exe")})},
        {"empty strings name nothing",
         Link().Ansi().String(kRelativePath, L"").String(kArguments, L""), Answer({})},
        {"bytes after the terminal block are ignored",
         Link().String(kRelativePath, L"a.exe").Terminal(Number(3) + Environment(L"", L"b")),
         Answer({W(L"a.exe")})},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Read(c.link.Build()), c.expected) << c.what;
    }
}

TEST(ReadShellLink, NothingUnlessHeaderSizeAndClsidSaySo) {
    const Bytes link = Link().Build();
    EXPECT_EQ(Read(link), Answer({})) << "an empty link";
    for (std::size_t i = 0; i < 20; ++i) {
        Bytes changed = link;
        changed[i] ^= 0x20;
        EXPECT_EQ(Read(changed), std::nullopt) << "byte " << i << " changed";
    }
}

// Every part of a link, in the order they are stored.
enum Part {
    kHeader,
    kIdList,
    kInfo,
    kNamePart,
    kRelative,
    kWorkingDirPart,
    kArgumentsPart,
    kIcon,
    kOtherBlock,
    kEnvironment,
    kTerminal
};

Link Full(bool unicode) {
    Link link;
    return (unicode ? link : link.Ansi())
        .IdList(20)
        .Info(unicode ? LinkInfo(L"C:\\?", L"", 0x24, L"E:\\照片\\", L"x.exe")
                      : LinkInfo(L"E:\\\xD5\xD5\xC6\xAC\\", L"x.exe"))
        .String(kName, L"Photos")
        .String(kRelativePath, L".\\Photos.exe")
        .String(kWorkingDir, L"E:\\")
        .String(kArguments, L"/c start x.vbs & start explorer Photos")
        .String(kIconLocation, L"shell32.dll")
        .Extra(ExtraBlock(0xA0000003, 0x60))
        .Extra(Environment(L"%windir%\\cmd.exe", unicode ? L"%windir%\\cmd.exe" : L""));
}

// What a link cut after `n` bytes holds: what its whole parts give.
ShellLink ReadUpTo(const ShellLink& whole, const std::vector<std::size_t>& ends, std::size_t n) {
    std::vector<LinkText> targets;
    const std::pair<Part, std::size_t> places[] = {{kInfo, 0}, {kEnvironment, 1}, {kRelative, 2}};
    for (const auto& [part, target] : places) {
        if (n >= ends[part]) {
            targets.push_back(whole.targets.at(target));
        }
    }
    return Answer(targets, n >= ends[kArgumentsPart] ? whole.arguments : LinkText{},
                  n >= ends[kTerminal]);
}

TEST(ReadShellLink, ACutLinkGivesWhatItsWholePartsHoldAndNoMore) {
    for (bool unicode : {true, false}) {
        std::vector<std::size_t> ends;
        const Bytes link = Full(unicode).Build(&ends);
        const ShellLink whole = *Read(link);
        const LinkText env = unicode ? W(L"%windir%\\cmd.exe") : A("%windir%\\cmd.exe");
        EXPECT_EQ(whole, unicode
                             ? Answer({W(L"E:\\照片\\x.exe"), env, W(L".\\Photos.exe")},
                                      W(L"/c start x.vbs & start explorer Photos"))
                             : Answer({A("E:\\\xD5\xD5\xC6\xAC\\x.exe"), env, A(".\\Photos.exe")},
                                      A("/c start x.vbs & start explorer Photos")));
        for (std::size_t n = 0; n <= link.size(); ++n) {
            const std::optional<ShellLink> read = Read(link, n);
            EXPECT_EQ(read, n < 0x4C ? std::nullopt : std::optional(ReadUpTo(whole, ends, n)))
                << n << " of " << link.size() << " bytes" << (unicode ? "" : ", ANSI");
        }
    }
}

TEST(ReadShellLink, ASizeCountOrOffsetThatLiesStopsTheReadingAtItsPart) {
    std::vector<std::size_t> uEnds, aEnds;
    const Bytes uLink = Full(true).Build(&uEnds), aLink = Full(false).Build(&aEnds);
    const auto uInfo = [&](std::size_t at) { return Get(uLink, uEnds[kIdList] + at); };
    const auto aInfo = [&](std::size_t at) { return Get(aLink, aEnds[kIdList] + at); };
    // Sizes that reach exactly one byte (or character) past the link's end.
    const std::uint32_t pastInfo = uLink.size() - uEnds[kIdList] + 1;
    const std::uint32_t pastArguments = (aLink.size() - aEnds[kWorkingDirPart] - 2) + 1;
    const std::uint32_t pastBlock = uLink.size() - uEnds[kIcon] + 1;
    const struct {
        const char* what;
        bool unicode;
        Part part;
        std::vector<std::pair<std::size_t, Bytes>> patches;  // at, within the part
    } cases[] = {
        // clang-format off
        {"IDListSize past the end", true, kIdList, {{0, Number(0xFFFF, 2)}}},
        {"LinkInfoSize 0xFFFFFFFF", true, kInfo, {{0, Number(0xFFFFFFFF)}}},
        {"LinkInfoSize one past the end", true, kInfo, {{0, Number(pastInfo)}}},
        {"LinkInfoSize within its header", true, kInfo, {{0, Number(0x1B)}}},
        {"LinkInfoHeaderSize too small", true, kInfo, {{4, Number(0x1B)}}},
        {"LinkInfoHeaderSize past LinkInfoSize", true, kInfo, {{4, Number(uInfo(0) + 1)}}},
        {"LinkInfoHeaderSize past a network LinkInfo's size", true, kInfo,
         {{4, Number(uInfo(0) + 1)}, {8, Number(2)}}},
        {"LocalBasePathOffset at LinkInfoSize", false, kInfo, {{0x10, Number(aInfo(0))}}},
        {"LocalBasePathOffset 0xFFFFFFFF", false, kInfo, {{0x10, Number(0xFFFFFFFF)}}},
        {"LocalBasePathOffset inside the header", false, kInfo, {{0x10, Number(4)}}},
        {"CommonPathSuffixOffset at LinkInfoSize", false, kInfo, {{0x18, Number(aInfo(0))}}},
        {"a local path without a NUL in LinkInfo", false, kInfo,
         {{0, Number(aInfo(0x10) + 3)}, {0x18, Number(aInfo(0xC) + 0x10)}}},  // suffix: ""
        {"an ANSI suffix whose NUL lies past LinkInfoSize", false, kInfo,
         {{0, Number(aInfo(0) - 1)}}},
        {"LocalBasePathOffsetUnicode at LinkInfoSize", true, kInfo, {{0x1C, Number(uInfo(0))}}},
        {"CommonPathSuffixOffsetUnicode 0xFFFFFFFF", true, kInfo, {{0x20, Number(0xFFFFFFFF)}}},
        {"a Unicode suffix with half its NUL in LinkInfo", true, kInfo,
         {{0, Number(uInfo(0) - 1)}}},
        {"relative path's CountCharacters past the end", true, kRelative, {{0, Number(0xFFFF, 2)}}},
        {"arguments one byte past the end", false, kArgumentsPart, {{0, Number(pastArguments, 2)}}},
        {"BlockSize 0xFFFFFFFF", true, kOtherBlock, {{0, Number(0xFFFFFFFF)}}},
        {"BlockSize one past the end", true, kOtherBlock, {{0, Number(pastBlock)}}},
        {"BlockSize 4: no room for a signature", true, kOtherBlock, {{0, Number(4)}}},
        {"BlockSize 7", false, kOtherBlock, {{0, Number(7)}}},
        {"an environment block too small for its fields", true, kEnvironment,
         {{0, Number(0x313)}}},
        {"TargetAnsi without a NUL", true, kEnvironment, {{8, Bytes(260, 'x')}}},
        {"TargetUnicode without a NUL", false, kEnvironment, {{268, Bytes(520, 'x')}}},
        // clang-format on
    };
    for (const auto& c : cases) {
        Bytes link = c.unicode ? uLink : aLink;
        const std::vector<std::size_t>& ends = c.unicode ? uEnds : aEnds;
        for (const auto& [at, bytes] : c.patches) {
            std::copy(bytes.begin(), bytes.end(), link.begin() + ends[c.part - 1] + at);
        }
        EXPECT_EQ(Read(link), ReadUpTo(*Read(c.unicode ? uLink : aLink), ends, ends[c.part - 1]))
            << c.what;
    }
}

}  // namespace
}  // namespace tovrane
