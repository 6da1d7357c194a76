#pragma once
#include <functional>
#include <string>

// Where COM finds a component's server file: the default value of HKCR\CLSID\{id}\InprocServer32.
class cComponentLookup
{
public:
    // The value as stored (its bytes as UTF-16 text up to the first NUL, whatever its type), or the empty
    // text when the key or the value is missing or the value is too long to name a file.
    static std::wstring RegisteredText(const std::wstring& classId);
    // The registered file in long form; empty when it does not exist or the text is no local path. Only a
    // local path is handed to `longForm` (the file system's long-form lookup, or a test's stand-in).
    static std::wstring LongForm(const std::wstring& registeredText,
                                 const std::function<std::wstring(const std::wstring&)>& longForm = {});
};
