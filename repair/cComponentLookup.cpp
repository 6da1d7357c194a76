#include "repair/cComponentLookup.h"
#include "sys/cPathForm.h"
#include "sys/cRegistry.h"

std::wstring cComponentLookup::RegisteredText(const std::wstring& classId)
{
    cRegistry registry;
    registry.RegKey(cRegistry::ClassesRoot);
    registry.SubKey(L"CLSID\\" + classId + L"\\InprocServer32");
    return registry.GetString();
}

bool cComponentLookup::IsNetworkPath(const std::wstring& path)
{
    // Windows takes either slash as a separator: //server/share and \\/server are UNC paths as well.
    const auto slash = [](wchar_t c) { return c == L'\\' || c == L'/'; };
    return path.size() >= 2 && slash(path[0]) && slash(path[1]);
}

std::wstring cComponentLookup::LongForm(const std::wstring& registeredText)
{
    // HKEY_CLASSES_ROOT includes the user's own classes, which unelevated programs can write: an elevated
    // tool must not reach out to a network path named there. Such a path is never the expected local one.
    if (IsNetworkPath(registeredText))
        return {};
    return cPathForm::Long(registeredText);
}
