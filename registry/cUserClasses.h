#pragma once
#include "registry/cHiveMount.h"
#include "registry/cKey.h"
#include "sys/cOwned.h"
#include <string>
#include <vector>

// One user's own classes (what HKEY_CURRENT_USER\Software\Classes is to that user's programs), opened live
// for the tool: the runner's own, a signed-in user's where Windows keeps them loaded, or, for a repair alone,
// a signed-out user's file loaded under a name of the tool's own and unloaded again. A check reads a
// signed-out user's file as data instead (cClassesFile), and never comes here for it.
class cUserClasses
{
public:
    // Status of a classes file reached through a link, which the tool does not follow.
    static constexpr LONG LinkOnTheWay = ERROR_CANT_RESOLVE_FILENAME;
    // Status of a user whose main hive is loaded without their classes: signing in, or mounted by another
    // program; their file is not loaded beside it.
    static constexpr LONG SigningIn = ERROR_BUSY;

    enum class eSource
    {
        Runner,   // the runner's own, through HKEY_CURRENT_USER
        Loaded,   // a signed-in user's, HKEY_USERS\<sid>_Classes
        FromFile, // a signed-out user's file, loaded for a change
        NoFile,   // the profile has no classes file: the user has no classes of their own
        Failed,   // none of these: Status says why
    };

    // Where a profile keeps its classes.
    static std::wstring FilePath(const std::wstring& profileFolder);
    // How a backup names a user's classes, however the tool reached them: as Windows loads them while the
    // user is signed in, where `reg import` then writes.
    static std::wstring RegistryNameOf(const std::wstring& sid);
    // Whether HKEY_USERS holds `name` (a SID, or a SID with _Classes) now.
    static bool IsLoaded(const std::wstring& name);

    static cUserClasses OpenRunner(REGSAM access);
    // The classes of a signed-in user, with `access`; Failed when they are not loaded.
    static cUserClasses OpenLoaded(const std::wstring& sid, REGSAM access);
    // For a repair's removal only: the classes file of a signed-out user whose profile is `profileFolder` (a
    // local path the caller has accepted), loaded when neither of the user's hives is (SigningIn otherwise).
    // The folders on the way, the profile folder included, are held from their check until this goes.
    static cUserClasses LoadForChange(const std::wstring& sid, const std::wstring& profileFolder);

    // Closes the classes and unloads what was loaded for them: the status of that unload.
    LONG Close();

    eSource Source = eSource::Failed;
    std::vector<cHandle> Held; // the way to a loaded file, held until it is unloaded
    cHiveMount Mount;          // before Root, which must be closed before the file can be unloaded
    cKey Root;
    LONG Status = ERROR_SUCCESS;
};
