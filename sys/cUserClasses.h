#pragma once
#include "sys/cKey.h"
#include <string>

// One user's own classes (what HKEY_CURRENT_USER\Software\Classes is to that user's programs), opened for the
// tool. A signed-in user's are loaded under HKEY_USERS; a signed-out user's file is loaded privately for the
// tool alone, and unloaded when the last key into it is closed.
class cUserClasses
{
public:
    // Status of a classes file reached through a link, which the tool does not follow.
    static constexpr LONG LinkOnTheWay = ERROR_CANT_RESOLVE_FILENAME;

    enum class eSource
    {
        Loaded,   // the user's loaded classes
        FromFile, // the user's classes file, loaded for the tool
        NoFile,   // the profile has no classes file: the user has no classes of their own
        Failed,   // neither: Status says why
    };

    // Where a profile keeps its classes.
    static std::wstring FilePath(const std::wstring& profileFolder);
    // The classes of a signed-in user, with `access` (KEY_READ, or KEY_READ | KEY_WRITE to remove a key);
    // Failed when they are not loaded.
    static cUserClasses OpenLoaded(const std::wstring& sid, REGSAM access);
    // The classes file of a signed-out user whose profile is `profileFolder` (a local path the caller has
    // accepted).
    static cUserClasses OpenFile(const std::wstring& sid, const std::wstring& profileFolder, REGSAM access);

    eSource Source = eSource::Failed;
    cKey Root;
    // The name the classes have under HKEY_USERS while the user is signed in: HKEY_USERS\<sid>_Classes, or,
    // where Windows keeps no such hive (Wine), HKEY_USERS\<sid>\Software\Classes.
    std::wstring RegistryName;
    LONG Status = ERROR_SUCCESS;
};
