#pragma once
#include <optional>
#include <string>

// A file's version ("2.0.0.0") from its version resource, read as data: the file's code never runs, and no
// version DLL is loaded (Windows would look for one beside the tool first). Callers pass local paths only:
// asking about a network path would make an elevated program contact the server.
class cFileVersion
{
public:
    // Nothing when the file is missing, is no program file or has no version block.
    static std::optional<std::wstring> Of(const std::wstring& path);
};
