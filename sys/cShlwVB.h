#pragma once
#include <string>

// Path and text utilities. Stateless; positions count UTF-16 code units.
class cShlwVB
{
public:
    // The text followed by "\" unless it already ends in one; an empty text becomes "\".
    std::wstring VBAddBackslash(const std::wstring& strPathName) const;
    // The text without one trailing "\", if it has one.
    std::wstring VBRemoveBackslash(const std::wstring& strPathName) const;
    // The folder part up to the last "\" (kept when blnOption is true); the whole text when it has no "\".
    std::wstring VBFindPathName(const std::wstring& strFileName, bool blnOption) const;
    // The name between the folder part and the extension; the whole name when there is no extension.
    std::wstring VBFindFileName(const std::wstring& strFileName) const;
    // From the last "." to the end (the dot kept when blnOption is true); the whole text when it has no ".".
    std::wstring VBFindExtension(const std::wstring& strFileName, bool blnOption) const;
    // The text before the last "."; a text without "." comes back unchanged.
    std::wstring VBRemoveExtension(const std::wstring& strFileName) const;
    // VBRemoveExtension, then "." and strExt (given without its dot).
    std::wstring VBRenameExtension(const std::wstring& strFileName, const std::wstring& strExt) const;
    // The text after the last "\", extension included.
    std::wstring VBStripPath(const std::wstring& strPathName) const;
    // The last component of the path, with or without a trailing "\".
    std::wstring VBFindFolderName(const std::wstring& strPathName) const;
    bool VBIsUNC(const std::wstring& strPathName) const;
    bool VBIsURL(const std::wstring& strURL) const;
    // curByteSize is a fixed-point value times 10,000 ("1,024 bytes" is 10240000), shown in the largest unit
    // it exceeds by more than half: "0.5 KB", "1. KB", "9.54 MB", "512 ﾊﾞｲﾄ".
    std::wstring VBFormatKBSize(long long curByteSize) const;
    // "2秒", "1分2秒", "1時間1分".
    std::wstring VBFromTimeInterval(long lngMiliSecond) const;
    // strFirst from the first occurrence of strSrch on, or the empty text; blnOption true compares exactly,
    // false ignores case, width and kana type.
    std::wstring VBStrStr(const std::wstring& strFirst, const std::wstring& strSrch, bool blnOption) const;
    // Creates every missing folder along the path. Returns false on success and true on failure, after
    // showing the error in a message box; folders created before the failure stay.
    bool VBMakeSureDirectoryPathExists(const std::wstring& strPathName) const;

private:
    // 0-based position of the first (or last) occurrence of `what` under the locale's text comparison,
    // or npos. An empty `what` is found at 0.
    static size_t TextFind(const std::wstring& text, const std::wstring& what, bool last);
};
