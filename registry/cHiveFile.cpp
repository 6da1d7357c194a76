#include "registry/cHiveFile.h"
#include <algorithm>
#include <cstring>

namespace
{
constexpr ULONG BaseBlock = 4096, Page = 4096, BinHeader = 32, None = 0xFFFFFFFF;
// A value's data beyond this many bytes lies in big-data segments of this size each, in files of minor
// version 4 and later (the documented "Big data" record; its segment size as writers use it).
constexpr ULONG Segment = 16344;
// Key node and value record: their fixed parts, and where their fields lie.
constexpr ULONG NkFixed = 76, NkFlags = 2, NkSubKeys = 20, NkSubKeyList = 28, NkValues = 36, NkValueList = 40,
                NkNameLength = 72, VkFixed = 20, VkSize = 4, VkData = 8, VkType = 12, VkFlags = 16;
constexpr WORD KeySymLink = 0x0010, KeyCompressedName = 0x0020, ValueCompressedName = 0x0001;
// Windows' own limits of names: 255 characters for a key, 16383 for a value.
constexpr ULONG MaxKeyName = 255, MaxValueName = 16383;

ULONG U32(const BYTE* at)
{
    ULONG value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

WORD U16(const BYTE* at)
{
    WORD value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

bool Is(const BYTE* at, const char* signature)
{
    return at[0] == static_cast<BYTE>(signature[0]) && at[1] == static_cast<BYTE>(signature[1]);
}

// The hash a hash leaf keeps of each name: of its upper case, 37 times the hash so far plus each character.
// Computed only for names of ASCII letters, whose upper case is certain.
bool HashOf(std::wstring_view name, ULONG& hash)
{
    hash = 0;
    for (wchar_t c : name)
    {
        if (c > 0x7F)
            return false;
        hash = hash * 37 + static_cast<ULONG>(c >= L'a' && c <= L'z' ? c - L'a' + L'A' : c);
    }
    return true;
}
} // namespace

bool cHiveFile::Fail(eFault fault)
{
    if (m_fault == eFault::None)
        m_fault = fault;
    return false;
}

bool cHiveFile::Bytes(ULONGLONG at, void* into, DWORD size)
{
    if (at > m_fileSize || size > m_fileSize - at)
        return Fail(eFault::Damaged);
    return m_read(at, into, size) || Fail(eFault::Unreadable);
}

cHiveFile::eFault cHiveFile::Open()
{
    if (!m_open && m_fault == eFault::None)
        m_open = BaseBlockRead();
    return m_fault;
}

bool cHiveFile::BaseBlockRead()
{
    BYTE base[512];
    if (m_fileSize < BaseBlock)
        return Fail(eFault::NotAHive);
    if (!Bytes(0, base, sizeof base))
        return false;
    if (std::memcmp(base, "regf", 4) != 0)
        return Fail(eFault::NotAHive);
    // The XOR of the block's first 127 double words, where 0 is written as 1 and all ones as all ones but the
    // last bit.
    ULONG sum = 0;
    for (ULONG at = 0; at < 508; at += 4)
        sum ^= U32(base + at);
    sum = sum == 0 ? 1 : sum == None ? None - 1 : sum;
    if (sum != U32(base + 508))
        return Fail(eFault::Checksum);
    // Windows applies the logs' changes at the next load; we read the file as it is only when it is whole.
    if (U32(base + 4) != U32(base + 8))
        return Fail(eFault::UnsavedChanges);
    m_minor = U32(base + 24);
    if (U32(base + 20) != 1 || m_minor < 3 || m_minor > 6 || U32(base + 28) != 0 || U32(base + 32) != 1)
        return Fail(eFault::NotAHive);
    m_root = U32(base + 36);
    m_binsSize = U32(base + 40);
    if (m_binsSize == 0 || m_binsSize % Page != 0 || m_binsSize > m_fileSize - BaseBlock)
        return Fail(eFault::Damaged);
    std::vector<BYTE> root;
    return Key(m_root, root);
}

bool cHiveFile::BinOf(ULONG offset, ULONG& start, ULONG& end)
{
    auto known = m_bins.upper_bound(offset);
    if (known != m_bins.begin() && offset < (--known)->second)
        return start = known->first, end = known->second, true;
    // A bin starts on a page with its header, which names its own offset; the cell's bin is the first such
    // page at or before the cell, and must reach past it.
    for (ULONG pages = 0, page = offset - offset % Page; pages < MaxBinPages; ++pages, page -= Page)
    {
        BYTE header[12];
        if (!Bytes(BaseBlock + ULONGLONG{page}, header, sizeof header))
            return false;
        if (std::memcmp(header, "hbin", 4) == 0 && U32(header + 4) == page)
        {
            const ULONG size = U32(header + 8);
            if (size < Page || size % Page != 0 || size > m_binsSize - page || offset - page >= size)
                return Fail(eFault::Damaged);
            m_bins[start = page] = end = page + size;
            return true;
        }
        if (page == 0)
            return Fail(eFault::Damaged);
    }
    return Fail(eFault::Bound);
}

bool cHiveFile::Cell(ULONG offset, ULONG need, std::vector<BYTE>& data)
{
    ULONG start = 0, end = 0;
    if (offset == None || offset % 8 != 0 || offset >= m_binsSize)
        return Fail(eFault::Damaged);
    BYTE size[4];
    if (!BinOf(offset, start, end))
        return false;
    if (offset - start < BinHeader)
        return Fail(eFault::Damaged);
    if (!Bytes(BaseBlock + ULONGLONG{offset}, size, sizeof size))
        return false;
    // An allocated cell's size is negative; a free cell is never referred to.
    const LONG raw = static_cast<LONG>(U32(size));
    const ULONG length = raw < 0 ? 0u - static_cast<ULONG>(raw) : 0;
    if (length < 4 || length > end - offset || need > length - 4)
        return Fail(eFault::Damaged);
    data.resize(need);
    return need == 0 || Bytes(BaseBlock + ULONGLONG{offset} + 4, data.data(), need);
}

// A record with its signature, fixed part and the name whose length in bytes lies at `lengthAt`.
bool cHiveFile::Record(ULONG offset, const char (&signature)[3], ULONG fixed, ULONG lengthAt,
                       std::vector<BYTE>& data)
{
    if (!Cell(offset, fixed, data))
        return false;
    if (!Is(data.data(), signature))
        return Fail(eFault::Damaged);
    return Cell(offset, fixed + U16(data.data() + lengthAt), data);
}

// Whether the record's name equals `name` in the system's ordinal comparison that ignores case: a compressed
// name is one byte per character (Latin-1, never the ANSI code page), any other UTF-16LE.
bool cHiveFile::Named(const std::vector<BYTE>& record, ULONG fixed, ULONG length, bool compressed,
                      std::wstring_view name, ULONG limit, bool& equal)
{
    if (!compressed && length % 2 != 0)
        return Fail(eFault::Damaged);
    std::wstring stored(compressed ? length : length / 2, L'\0');
    if (stored.size() > limit)
        return Fail(eFault::Bound);
    for (size_t i = 0; i < stored.size(); ++i)
        stored[i] = compressed ? record[fixed + i] : static_cast<wchar_t>(U16(record.data() + fixed + 2 * i));
    equal = ::CompareStringOrdinal(stored.data(), static_cast<int>(stored.size()), name.data(),
                                   static_cast<int>(name.size()), TRUE) == CSTR_EQUAL;
    return true;
}

bool cHiveFile::Key(ULONG offset, std::vector<BYTE>& nk)
{
    return Record(offset, "nk", NkFixed, NkNameLength, nk);
}

// The subkey `name` of the key at `parent`: `child` is its cell, or 0 when it has none.
bool cHiveFile::Child(ULONG parent, std::wstring_view name, ULONG& child)
{
    std::vector<BYTE> nk, list, leaf, entry;
    child = 0;
    if (!Key(parent, nk))
        return false;
    const ULONG count = U32(nk.data() + NkSubKeys), listAt = U32(nk.data() + NkSubKeyList);
    if (count == 0)
        return true;
    if (count > MaxEntries)
        return Fail(eFault::Bound);
    if (!Cell(listAt, 4, list))
        return false;
    // An index root lists leaves; a leaf lists keys. Every leaf is read before any key, so that the counts
    // must add up before a key is looked at.
    std::vector<ULONG> leaves{listAt};
    if (Is(list.data(), "ri"))
    {
        if (!Cell(listAt, 4 + 4 * ULONG{U16(list.data() + 2)}, list))
            return false;
        leaves.clear();
        for (ULONG i = 0, n = U16(list.data() + 2); i < n; ++i)
            leaves.push_back(U32(list.data() + 4 + 4 * i));
    }
    // Each leaf holds at least one key, and no leaf is listed twice.
    std::vector<ULONG> sorted = leaves;
    std::sort(sorted.begin(), sorted.end());
    if (std::adjacent_find(sorted.begin(), sorted.end()) != sorted.end())
        return Fail(eFault::Loop);
    if (leaves.size() > count)
        return Fail(eFault::Damaged);
    ULONG total = 0;
    std::vector<std::vector<BYTE>> read;
    for (ULONG at : leaves)
    {
        if (!Cell(at, 4, leaf))
            return false;
        if (Is(leaf.data(), "ri"))
            return Fail(eFault::Loop);
        if (!Is(leaf.data(), "li") && !Is(leaf.data(), "lf") && !Is(leaf.data(), "lh"))
            return Fail(eFault::Damaged);
        const ULONG n = U16(leaf.data() + 2);
        if ((total += n) > count)
            return Fail(eFault::Damaged);
        if (!Cell(at, 4 + n * (Is(leaf.data(), "li") ? 4 : 8), leaf))
            return false;
        read.push_back(leaf);
    }
    if (total != count)
        return Fail(eFault::Damaged);
    // Each entry is compared, in no order (a hostile file need not be sorted). A hash leaf's hash is compared
    // first, as Windows looks a name up: an entry whose hash differs is not the name to Windows either.
    ULONG hash = 0;
    const bool hashed = HashOf(name, hash);
    for (const auto& l : read)
    {
        const ULONG width = Is(l.data(), "li") ? 4 : 8;
        for (ULONG i = 0, n = U16(l.data() + 2); i < n; ++i)
        {
            const BYTE* at = l.data() + 4 + width * i;
            if (Is(l.data(), "lh") && hashed && U32(at + 4) != hash)
                continue;
            bool equal = false;
            if (!Key(U32(at), entry) ||
                !Named(entry, NkFixed, U16(entry.data() + NkNameLength),
                       U16(entry.data() + NkFlags) & KeyCompressedName, name, MaxKeyName, equal))
                return false;
            if (equal && U32(at) == parent)
                return Fail(eFault::Loop);
            if (equal && child != 0)
                return Fail(eFault::DuplicateName);
            child = equal ? U32(at) : child;
        }
    }
    return true;
}

LONG cHiveFile::OpenKey(const cNode* from, const std::wstring& path, cNode& key)
{
    if (Open() != eFault::None)
        return ERROR_REGISTRY_CORRUPT;
    std::vector<std::wstring_view> names;
    for (size_t at = 0; at <= path.size();)
    {
        const size_t end = std::min(path.find(L'\\', at), path.size());
        if (end > at)
            names.push_back(std::wstring_view(path).substr(at, end - at));
        at = end + 1;
    }
    if (names.size() > MaxDepth)
        return Fail(eFault::Bound), ERROR_REGISTRY_CORRUPT;
    ULONG cell = from ? from->Cell : m_root;
    std::vector<BYTE> nk;
    for (size_t i = 0;; ++i)
    {
        if (!Key(cell, nk))
            return ERROR_REGISTRY_CORRUPT;
        if (U16(nk.data() + NkFlags) & KeySymLink)
            return Fail(eFault::Link), ERROR_REGISTRY_CORRUPT;
        if (i == names.size())
            break;
        if (!Child(cell, names[i], cell))
            return ERROR_REGISTRY_CORRUPT;
        if (cell == 0)
            return ERROR_FILE_NOT_FOUND;
    }
    key.Cell = cell;
    return ERROR_SUCCESS;
}

// A value's data: in the record itself (at most 4 bytes), in a cell, or in big-data segments.
bool cHiveFile::Data(const std::vector<BYTE>& vk, std::vector<BYTE>& data)
{
    const ULONG raw = U32(vk.data() + VkSize), at = U32(vk.data() + VkData);
    const ULONG size = raw & 0x7FFFFFFF;
    if (raw & 0x80000000)
    {
        if (size > 4)
            return Fail(eFault::Damaged);
        data.assign(vk.data() + VkData, vk.data() + VkData + size);
        return true;
    }
    if (size == 0)
        return data.clear(), true;
    if (m_minor < 4 || size <= Segment)
        return Cell(at, size, data);
    std::vector<BYTE> db, list, segment;
    const ULONG count = (size + Segment - 1) / Segment;
    if (!Cell(at, 8, db))
        return false;
    if (!Is(db.data(), "db") || U16(db.data() + 2) != count)
        return Fail(eFault::Damaged);
    if (!Cell(U32(db.data() + 4), 4 * count, list))
        return false;
    data.clear();
    for (ULONG i = 0; i < count; ++i)
    {
        if (!Cell(U32(list.data() + 4 * i), std::min(Segment, size - i * Segment), segment))
            return false;
        data.insert(data.end(), segment.begin(), segment.end());
    }
    return true;
}

cKey::cValue cHiveFile::Read(const cNode& key, const std::wstring& name)
{
    cKey::cValue value;
    std::vector<BYTE> nk, list, vk, found;
    ULONG count = 0;
    if (Open() == eFault::None && Key(key.Cell, nk))
    {
        count = U32(nk.data() + NkValues);
        if (count > MaxEntries)
            Fail(eFault::Bound);
        else if (count > 0)
            Cell(U32(nk.data() + NkValueList), 4 * count, list);
    }
    for (ULONG i = 0; i < count && m_fault == eFault::None; ++i)
    {
        bool equal = false;
        if (!Record(U32(list.data() + 4 * i), "vk", VkFixed, 2, vk) ||
            !Named(vk, VkFixed, U16(vk.data() + 2), U16(vk.data() + VkFlags) & ValueCompressedName, name,
                   MaxValueName, equal))
            break;
        if (equal && !found.empty())
            Fail(eFault::DuplicateName);
        else if (equal)
            found = vk;
    }
    if (m_fault == eFault::None && !found.empty())
    {
        // A value beyond what the check reads is not read at all, whatever size the file claims.
        const ULONG size = U32(found.data() + VkSize) & 0x7FFFFFFF, type = U32(found.data() + VkType);
        std::vector<BYTE> data;
        if (size > cKey::MaxDataBytes)
            return cKey::ValueOf(type, nullptr, size);
        if (Data(found, data))
            return cKey::ValueOf(type, data.data(), data.size());
    }
    if (m_fault != eFault::None)
        value.Kind = cKey::eValue::Unreadable, value.Status = ERROR_REGISTRY_CORRUPT;
    return value;
}

const wchar_t* cHiveFile::ReasonOf(eFault fault)
{
    switch (fault)
    {
    case eFault::None:
        return L"";
    case eFault::Unreadable:
        return L"UsrClass.dat を読み取れません";
    case eFault::NotAHive:
        return L"UsrClass.dat がレジストリ ファイルの形式ではありません";
    case eFault::Checksum:
        return L"UsrClass.dat の先頭ブロックのチェックサムが合いません";
    case eFault::UnsavedChanges:
        return L"UsrClass.dat にまだ書き込まれていない変更があります（このユーザーが次にサインインしたときに "
               L"Windows が書き込みます）";
    case eFault::Damaged:
        return L"UsrClass.dat が壊れています";
    case eFault::DuplicateName:
        return L"UsrClass.dat に同じ名前のキーまたは値が二つあります";
    case eFault::Link:
        return L"UsrClass.dat の登録までのキーにシンボリック リンクがあります";
    case eFault::Loop:
        return L"UsrClass.dat のキーの一覧が循環しています";
    case eFault::Bound:
        return L"UsrClass.dat がこのツールの読み取りの上限を超えています";
    }
    return L"";
}
