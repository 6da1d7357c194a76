#pragma once
#include <windows.h>
#include <optional>
#include <string>
#include <string_view>

// Reads a version resource as the resource compiler lays it out, without the version DLL: that DLL is
// not one Windows always takes from the system folder, and the tool runs elevated.
// Every length in the block is checked against the block's end, so a damaged block reads as missing.
class cVersionBlock
{
public:
    explicit cVersionBlock(std::string_view bytes) noexcept : m_bytes(bytes) {}
    // The block of the running program's own version resource (empty when it has none).
    static cVersionBlock OfThisProgram() noexcept;

    std::optional<VS_FIXEDFILEINFO> FixedInfo() const;
    // The four parts of a file version, as "2.0.0.0".
    static std::wstring TextOf(const VS_FIXEDFILEINFO& fixed);
    // The text of `name` in the string table `table` ("041104B0"), or nothing.
    std::optional<std::wstring> StringValue(std::wstring_view table, std::wstring_view name) const;

private:
    struct Node
    {
        size_t End;
        std::wstring Key;
        size_t Value;
        size_t ValueBytes;
        size_t Children;
    };
    std::optional<Node> ReadNode(size_t at, size_t limit, bool textValue) const;
    // The block's outermost node, when it is a version block at all.
    std::optional<Node> Root() const;
    std::optional<Node> Child(const Node& parent, std::wstring_view key, bool textValue) const;
    WORD Word(size_t at) const;

    std::string_view m_bytes;
};
