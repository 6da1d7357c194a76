#pragma once

// One of the two COM components the tool repairs: its file name (as the report shows it) and class id
// (as written, letter case included, when the registry key is built).
struct cComponent
{
    const wchar_t* Name;
    const wchar_t* ClassId;
};

inline constexpr cComponent MapControl{L"plotwing2.ocx", L"{5E1D7A20-3B4C-4F8E-9D21-7C3A0B6E4F19}"};
inline constexpr cComponent LookupLibrary{L"lexgrid4b.dll", L"{2A9F6C13-8E47-4b5d-A6F0-31D8C2E7B940}"};
