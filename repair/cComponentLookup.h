#pragma once
#include <windows.h>
#include <functional>
#include <string>

// Where COM finds a component's server file for every user without a registration of their own: the default
// value of CLSID\{id}\InprocServer32 among the machine's classes.
class cComponentLookup
{
public:
    // The machine's value is read only within the bytes the check has always read it in, as the code page
    // measures them.
    static constexpr DWORD MaxAnsiBytes = 1024;
    // The longest registered text that may name a file a program loads: MAX_PATH less its NUL.
    static constexpr size_t MaxPathChars = MAX_PATH - 1;

    // The machine's registration, whoever runs the tool: HKEY_CLASSES_ROOT would show an elevated
    // administrator's own key instead, and the machine's registration is what every other user gets. Read in
    // the view of the tool's own build (the 32-bit one for the shipped exe, as the map's 32-bit process
    // reads).
    static std::wstring MachineKeyPath(const std::wstring& classId);
    static REGSAM MachineView(bool build64);

    // The value as stored (its bytes as UTF-16 text up to the first NUL, whatever its type), or the empty
    // text when the key or the value is missing or the value exceeds MaxAnsiBytes.
    static std::wstring RegisteredText(const std::wstring& classId);
    // The registered file in long form; empty when it does not exist or the text is no local path or longer
    // than MaxPathChars. Only such a path is handed to `longForm` (the file system's long-form lookup, or a
    // test's stand-in).
    static std::wstring LongForm(const std::wstring& registeredText,
                                 const std::function<std::wstring(const std::wstring&)>& longForm = {});
    // A registered path names the expected file when it is not empty and equal under text comparison.
    static bool SamePath(const std::wstring& registeredPath, const std::wstring& expectedPath);
};
