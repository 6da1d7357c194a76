#pragma once
#include "image/cPeImage.h"
#include "image/cSideBySide.h"
#include "sys/cFileReader.h"
#include "sys/cOwned.h"
#include <windows.h>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

// Whether the map's process can load a component's file as COM loads a server (LoadLibraryEx with
// LOAD_WITH_ALTERED_SEARCH_PATH), judged from the file's bytes without running any of it: an image at all, a
// DLL for this build's machine type, its manifest's activation context, and each DLL it imports statically
// found where the loader looks. Only what the loader checks at load time can call a file unloadable; the
// delay-loaded DLLs are looked for to be reported, and the reader's own bounds leave a file not judged.
class cImageCheck
{
public:
    enum class eImage
    {
        Loadable,
        MissingDependency, // a statically imported DLL is found nowhere the loader looks
        SideBySide,        // its manifest (or a dependency's) makes no activation context
        NotAnImage,
        Truncated,
        Damaged,
        NotADll, // an executable: no in-process server (regsvr32 finds no entry point in it)
        WrongMachine,
        Unreadable,          // the file could not be read: nothing is known
        NotJudged,           // beyond the reader's own bounds: nothing is known
        DependencyNotJudged, // the file is fine, but a DLL it uses could not be read or judged
    };
    // Names ordered without ASCII case, each once: a hostile file's long lists stay cheap.
    struct cNoCase
    {
        bool operator()(const std::wstring& a, const std::wstring& b) const;
    };
    using cNames = std::set<std::wstring, cNoCase>;
    struct cJudgement
    {
        eImage Kind = eImage::Loadable;
        WORD Machine = 0;
        cNames Missing;              // statically imported DLLs found nowhere
        cNames Later;                // delay-loaded DLLs found nowhere: reported only
        cNames NotJudged;            // DLLs it uses that could not be read, or lie beyond the bounds
        cNames Assemblies;           // what a manifest that makes no activation context names
        DWORD Error = ERROR_SUCCESS; // why an unreadable file could not be read
    };
    // Dependencies are followed this deep, and this many files at most: what lies beyond is not judged.
    static constexpr size_t MaxDepth = 8;
    static constexpr size_t MaxFiles = 64;
    // A report line names this many, and counts the rest; the log and the JSON name them all.
    static constexpr size_t ShownNames = 16;

    cImageCheck() = default;
    virtual ~cImageCheck() = default;
    cImageCheck(const cImageCheck&) = delete;
    cImageCheck& operator=(const cImageCheck&) = delete;

    // The machine type of the tool's own build, which the map's process shares (x86 for the shipped exe).
    static WORD OwnMachine();
    // What a read image is to a process of `machine`, before its imports.
    static eImage ShapeOf(const cPeImage::cInfo& image, WORD machine);
    // Without IsApiSetImplemented (before Windows 10): whether the loader resolves `name` as an API set
    // without a file: all api-ms- and ext-ms- names but the universal C runtime's, whose files must be there.
    static bool IsApiSet(const std::wstring& name, DWORD windowsMajor);
    // An imported name as the loader looks for it: without an extension, it gains ".dll" (LoadLibraryEx).
    static std::wstring ModuleName(const std::string& imported);
    // The folders of a PATH value that name local folders, without a trailing backslash, each once: a
    // server's folder is never asked (the check runs elevated).
    static std::vector<std::wstring> LocalFolders(const std::wstring& path);
    // Whether a judgement leaves the PC unverified: nothing, or not everything, could be known.
    static bool LeavesUnverified(eImage kind);
    // The token the JSON gives a judgement (ASCII), and the report's lines under the component.
    static const wchar_t* TokenOf(eImage kind);
    static const wchar_t* MachineName(WORD machine);
    static std::wstring LineOf(const cJudgement& judgement, bool registeredRight);
    static std::wstring Listed(const cNames& names);

    // The judgement of the file at `path`; one already made by this check is given again while the file's
    // volume, id, size and last write time are unchanged.
    cJudgement Judge(const std::wstring& path) const;

protected:
    // The steps that meet the operating system, each replaceable so that a test can bring about what the
    // machine cannot show.
    virtual std::optional<cPeImage::cInfo> ReadImage(const std::wstring& path, DWORD& error) const;
    virtual std::optional<cFileReader::cIdentity> Identity(const std::wstring& path) const;
    // Where the loader looks for a DLL that `file` imports, after the API sets, the assemblies and the known
    // DLLs, in its order; system folders first among them.
    struct cFolder
    {
        std::wstring Path;
        bool System;
    };
    virtual std::vector<cFolder> SearchFolders(const std::wstring& fileFolder) const;
    // The known DLLs and those every process has loaded: always taken from the system folder.
    virtual std::vector<std::wstring> KnownDlls() const;
    virtual bool Exists(const std::wstring& path) const;
    enum class eApiSet
    {
        Implemented,
        NotImplemented,
        Unknown, // the system cannot say (before Windows 10)
    };
    // `contract`: an API set's name without ".dll".
    virtual eApiSet ApiSet(const std::string& contract) const;
    virtual DWORD WindowsMajor() const;
    // The activation context of `file`'s own manifest, made once per file; `error` why it was not.
    virtual cSideBySide::eContext MakeContext(const std::wstring& file, DWORD& error) const;
    // Whether the context made for `contextFile` holds `dll`.
    virtual bool FromAssembly(const std::wstring& contextFile, const std::wstring& dll) const;

private:
    struct cWalk;
    enum class eFound
    {
        Nowhere,
        Resolved, // without a file of its own to follow: an API set, an assembly's, a known or system DLL
        File,
    };
    cJudgement JudgeAnew(const std::wstring& path) const;
    eFound Find(const std::wstring& name, const std::wstring& context, const cWalk& walk,
                std::wstring& found) const;
    void Walk(const std::wstring& file, const cPeImage::cInfo& image, std::wstring context, size_t depth,
              cWalk& walk) const;

    mutable std::map<std::wstring, std::pair<cFileReader::cIdentity, cJudgement>, cNoCase> m_judged;
    mutable std::map<std::wstring, std::unique_ptr<cSideBySide>, cNoCase> m_contexts;
    mutable std::optional<cOwned<ModuleTraits>> m_apiQuery;
};
