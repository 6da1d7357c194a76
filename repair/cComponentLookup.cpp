#include "repair/cComponentLookup.h"
#include "registry/cKey.h"
#include "security/cLocalPath.h"
#include "sys/TextCompare.h"
#include "sys/cPathForm.h"

bool cComponentLookup::SamePath(const std::wstring& registeredPath, const std::wstring& expectedPath)
{
    return !registeredPath.empty() && textcmp::Equal(registeredPath, expectedPath);
}

std::wstring cComponentLookup::MachineKeyPath(const std::wstring& classId)
{
    return L"SOFTWARE\\Classes\\CLSID\\" + classId + L"\\InprocServer32";
}

REGSAM cComponentLookup::MachineView(bool build64)
{
    return build64 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
}

std::wstring cComponentLookup::RegisteredText(const std::wstring& classId)
{
    cKey key;
    key.Open(HKEY_LOCAL_MACHINE, MachineKeyPath(classId), KEY_QUERY_VALUE | MachineView(sizeof(void*) == 8));
    if (key.AnsiSize({}, MaxAnsiBytes) == cKey::eAnsiSize::Exceeds)
        return {};
    const cKey::cValue value = key.Read();
    return value.Kind == cKey::eValue::Text || value.Kind == cKey::eValue::OtherType ? value.Text
                                                                                     : std::wstring();
}

std::wstring cComponentLookup::LongForm(const std::wstring& registeredText,
                                        const std::function<std::wstring(const std::wstring&)>& longForm)
{
    // HKEY_CLASSES_ROOT includes the user's own classes, which unelevated programs can write: an elevated
    // tool must not reach out to a server, a device or an NT path named there. Such a text is never the
    // expected local file. Nor is a text no program can load by (Wine's long-form lookup even overruns its
    // own buffer on one).
    if (registeredText.size() > MaxPathChars || !cLocalPath::IsLocal(registeredText))
        return {};
    return longForm ? longForm(registeredText) : cPathForm::Long(registeredText);
}
