#pragma once
#include "registry/cHiveMount.h"
#include "registry/cKey.h"
#include <string>

// One user's own classes (what HKEY_CURRENT_USER\Software\Classes is to that user's programs), opened for the
// tool. A signed-in user's are loaded under HKEY_USERS; a signed-out user's file is loaded for the tool: for
// it alone where Windows allows that, else under a name of the tool's own, and unloaded again.
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
    // What an entry on the way to the classes file is, from its attributes: any reparse point is a link,
    // whatever else its entry carries.
    enum class eStep
    {
        Directory,
        File,
        Link,
    };
    static eStep StepOf(DWORD attributes);

    // Where a profile keeps its classes.
    static std::wstring FilePath(const std::wstring& profileFolder);
    // The classes of a signed-in user, with `access` (KEY_READ, or KEY_READ | KEY_WRITE to remove a key);
    // Failed when they are not loaded.
    static cUserClasses OpenLoaded(const std::wstring& sid, REGSAM access);
    // The classes file of a signed-out user whose profile is `profileFolder` (a local path the caller has
    // accepted). The folders on the way are held from their check until the file is loaded, so that none can
    // be swapped for a link meanwhile; a user who signed in meanwhile is read where Windows loaded the file.
    static cUserClasses OpenFile(const std::wstring& sid, const std::wstring& profileFolder, REGSAM access);

    // Closes the classes and unloads what was loaded for them: the status of that unload.
    LONG Close();

    eSource Source = eSource::Failed;
    cHiveMount Mount; // before Root, which must be closed before the file can be unloaded
    cKey Root;
    // The name the classes have under HKEY_USERS while the user is signed in: HKEY_USERS\<sid>_Classes, or,
    // where Windows keeps no such hive (Wine), HKEY_USERS\<sid>\Software\Classes.
    std::wstring RegistryName;
    LONG Status = ERROR_SUCCESS;
};
