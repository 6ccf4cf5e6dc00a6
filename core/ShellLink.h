// Reading a shortcut (.lnk) without the shell: a bounded reader of the public
// Shell Link binary format. The shell's own reader would run its whole parser,
// and sometimes its namespace, on bytes a worm wrote; this one reads only the
// targets and the arguments, and trusts no size, count or offset it finds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tovrane {

// A string as a shortcut stores it: UTF-16, or bytes in the ANSI code page of
// the system that wrote it (converted later by the platform, which knows that
// code page). Either form ends before its first NUL, as the shell would read
// it, so neither holds a NUL. An empty text is always the default one (wide
// and empty), whichever form it was stored in.
struct LinkText {
    bool ansi = false;
    std::wstring wide;  // when !ansi: UTF-16 code units, one per wchar_t, as stored
    std::string bytes;  // when ansi, as stored, without the terminating NUL

    bool empty() const { return ansi ? bytes.empty() : wide.empty(); }
};

bool operator==(const LinkText& a, const LinkText& b);

struct ShellLink {
    // Every target the shortcut names, in this order, each only when present
    // and non-empty:
    //  - LinkInfo's local base path joined with its common path suffix (the
    //    Unicode forms when the LinkInfo carries them, that is when its header
    //    holds their offsets, else the ANSI ones);
    //  - the environment-variable data block's target (the Unicode form when
    //    non-empty, else the ANSI one), from the first such block;
    //  - the relative path (StringData), as stored: relative to the shortcut.
    // Empty when the only target is an ID list: the target is then unknown.
    std::vector<LinkText> targets;
    // COMMAND_LINE_ARGUMENTS in full, not cut to MAX_PATH; empty when none.
    LinkText arguments;
    // True when every structure the shortcut announces was read, up to and
    // including the terminal block of its extra data; bytes after that block
    // are ignored. False when a structure did not fit: it ran past the input
    // or past the structure around it, or a size, count or offset in it
    // pointed outside it (a LinkInfo string outside LinkInfo or without its
    // NUL, an extra data block too small for its signature, an environment
    // block too small for its fields or a field of it without its NUL).
    // Reading stopped there, and the answer holds exactly what the structures
    // before it gave. They are stored in this order: the ID list, LinkInfo
    // (its target), the strings (the relative path, then the arguments), the
    // extra data blocks (the environment block's target). So each target and
    // the arguments are given whole or not at all, and what would lie past
    // the stop is unknown, not absent.
    bool complete = false;
};

bool operator==(const ShellLink& a, const ShellLink& b);

// Reads the bytes of a .lnk file. Trusts no size, count or offset in them:
// every read stays within the input and within the structure that holds it.
// Nothing when the bytes are not a shell link (a header of 0x4C bytes that
// says so, and the shell link CLSID). A structure that does not fit stops the
// reading, as `ShellLink::complete` explains.
std::optional<ShellLink> ReadShellLink(const std::uint8_t* data, std::size_t size);

}  // namespace tovrane
