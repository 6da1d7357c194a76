#include "image/cVersionBlock.h"
#include <cstring>

namespace
{
constexpr size_t Align4(size_t at)
{
    return (at + 3) & ~size_t{3};
}
} // namespace

cVersionBlock cVersionBlock::OfThisProgram() noexcept
{
    HMODULE self = ::GetModuleHandleW(nullptr);
    HRSRC found =
        ::FindResourceW(self, MAKEINTRESOURCEW(VS_VERSION_INFO), MAKEINTRESOURCEW(16)); // RT_VERSION
    HGLOBAL loaded = found ? ::LoadResource(self, found) : nullptr;
    const void* data = loaded ? ::LockResource(loaded) : nullptr;
    if (!data)
        return cVersionBlock({});
    return cVersionBlock({static_cast<const char*>(data), ::SizeofResource(self, found)});
}

WORD cVersionBlock::Word(size_t at) const
{
    WORD value = 0;
    std::memcpy(&value, m_bytes.data() + at, sizeof value);
    return value;
}

// One node: length, value length, type, the key up to its NUL, then the value and the children, each
// starting on a four-byte boundary. Text values count their length in characters, binary ones in bytes.
std::optional<cVersionBlock::Node> cVersionBlock::ReadNode(size_t at, size_t limit, bool textValue) const
{
    if (at + 6 > limit)
        return std::nullopt;
    const size_t end = at + Word(at);
    if (end > limit || end < at + 6)
        return std::nullopt;
    Node node{end, {}, 0, 0, 0};
    size_t p = at + 6;
    for (;; p += 2)
    {
        if (p + 2 > end)
            return std::nullopt;
        const WORD c = Word(p);
        if (c == 0)
            break;
        node.Key.push_back(static_cast<wchar_t>(c));
    }
    node.Value = Align4(p + 2);
    if (node.Value > end)
        return std::nullopt;
    node.ValueBytes = static_cast<size_t>(Word(at + 2)) * (textValue ? 2 : 1);
    // Some resource compilers count a text in bytes: a text ends at its node's end at the latest.
    if (textValue && node.ValueBytes > end - node.Value)
        node.ValueBytes = end - node.Value;
    if (node.ValueBytes > end - node.Value)
        return std::nullopt;
    node.Children = Align4(node.Value + node.ValueBytes);
    return node;
}

std::optional<cVersionBlock::Node> cVersionBlock::Child(const Node& parent, std::wstring_view key,
                                                        bool textValue) const
{
    for (size_t at = parent.Children; at < parent.End;)
    {
        const std::optional<Node> child = ReadNode(at, parent.End, textValue);
        if (!child)
            return std::nullopt;
        if (child->Key == key)
            return child;
        at = Align4(child->End);
    }
    return std::nullopt;
}

std::optional<cVersionBlock::Node> cVersionBlock::Root() const
{
    std::optional<Node> root = ReadNode(0, m_bytes.size(), false);
    if (!root || root->Key != L"VS_VERSION_INFO")
        return std::nullopt;
    return root;
}

std::wstring cVersionBlock::TextOf(const VS_FIXEDFILEINFO& fixed)
{
    return std::to_wstring(HIWORD(fixed.dwFileVersionMS)) + L"." +
           std::to_wstring(LOWORD(fixed.dwFileVersionMS)) + L"." +
           std::to_wstring(HIWORD(fixed.dwFileVersionLS)) + L"." +
           std::to_wstring(LOWORD(fixed.dwFileVersionLS));
}

std::optional<VS_FIXEDFILEINFO> cVersionBlock::FixedInfo() const
{
    const std::optional<Node> root = Root();
    VS_FIXEDFILEINFO fixed{};
    if (!root || root->ValueBytes < sizeof fixed)
        return std::nullopt;
    std::memcpy(&fixed, m_bytes.data() + root->Value, sizeof fixed);
    if (fixed.dwSignature != 0xFEEF04BD)
        return std::nullopt;
    return fixed;
}

std::optional<std::wstring> cVersionBlock::StringValue(std::wstring_view table, std::wstring_view name) const
{
    const std::optional<Node> root = Root();
    const std::optional<Node> files = root ? Child(*root, L"StringFileInfo", false) : std::nullopt;
    const std::optional<Node> strings = files ? Child(*files, table, true) : std::nullopt;
    const std::optional<Node> value = strings ? Child(*strings, name, true) : std::nullopt;
    if (!value)
        return std::nullopt;
    std::wstring text;
    for (size_t p = value->Value; p + 2 <= value->Value + value->ValueBytes && Word(p) != 0; p += 2)
        text.push_back(static_cast<wchar_t>(Word(p)));
    return text;
}
