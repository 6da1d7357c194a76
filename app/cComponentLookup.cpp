#include "app/cComponentLookup.h"
#include "sys/cPathForm.h"
#include "sys/cRegistry.h"

std::wstring cComponentLookup::RegisteredText(const std::wstring& classId)
{
    cRegistry registry;
    registry.RegKey(cRegistry::ClassesRoot);
    registry.SubKey(L"CLSID\\" + classId + L"\\InprocServer32");
    return registry.GetString();
}

std::wstring cComponentLookup::LongForm(const std::wstring& registeredText)
{
    // HKEY_CLASSES_ROOT includes the user's own classes, which unelevated programs can write: an elevated
    // tool must not reach out to a network path named there. Such a path is never the expected local one.
    const auto slash = [](wchar_t c) { return c == L'\\' || c == L'/'; };
    if (registeredText.size() >= 2 && slash(registeredText[0]) && slash(registeredText[1]))
        return {};
    return cPathForm::Long(registeredText);
}
