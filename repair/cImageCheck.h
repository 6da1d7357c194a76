#pragma once
#include "image/cPeImage.h"
#include <windows.h>
#include <optional>
#include <string>
#include <vector>

// Whether the map's process can load a component's file as COM loads a server (LoadLibraryEx with
// LOAD_WITH_ALTERED_SEARCH_PATH), judged from the file's bytes without running any of it: an image at all, a
// DLL for this build's machine type, and each DLL it imports found where the loader looks.
class cImageCheck
{
public:
    enum class eImage
    {
        Loadable,
        MissingDependency, // an imported DLL is found nowhere the loader looks
        NotAnImage,
        Truncated,
        Damaged,
        NotADll,
        WrongMachine,
        Unreadable, // the file could not be read: nothing is known
    };
    struct cJudgement
    {
        eImage Kind = eImage::Loadable;
        WORD Machine = 0;
        std::vector<std::wstring> Missing; // imported DLLs found nowhere, each once
        DWORD Error = ERROR_SUCCESS;       // why an unreadable file could not be read
    };
    // Dependencies are followed this deep, and this many files at most: a chain or a loop ends.
    static constexpr size_t MaxDepth = 8;
    static constexpr size_t MaxFiles = 64;

    cImageCheck() = default;
    virtual ~cImageCheck() = default;
    cImageCheck(const cImageCheck&) = delete;
    cImageCheck& operator=(const cImageCheck&) = delete;

    // The machine type of the tool's own build, which the map's process shares (x86 for the shipped exe).
    static WORD OwnMachine();
    // What a read image is to a process of `machine`, before its imports.
    static eImage ShapeOf(const cPeImage::cInfo& image, WORD machine);
    // Whether the loader resolves `name` itself as an API set, without a file: on Windows 10 and later every
    // api-ms- and ext-ms- name; before, all but the universal C runtime's, whose files must be there.
    static bool IsApiSet(const std::string& name, DWORD windowsMajor);
    // The token the JSON gives a judgement (ASCII), and the report's line under the component.
    static const wchar_t* TokenOf(eImage kind);
    static const wchar_t* MachineName(WORD machine);
    static std::wstring LineOf(const cJudgement& judgement, bool registeredRight);

    cJudgement Judge(const std::wstring& path) const;

protected:
    // The steps that meet the operating system, each replaceable so that a test can bring about what the
    // machine cannot show.
    virtual std::optional<cPeImage::cInfo> ReadImage(const std::wstring& path, DWORD& error) const;
    // Where the loader looks for a DLL that `file` imports, in its order; system folders first among them.
    struct cFolder
    {
        std::wstring Path;
        bool System;
    };
    virtual std::vector<cFolder> SearchFolders(const std::wstring& fileFolder) const;
    virtual bool Exists(const std::wstring& path) const;
    virtual bool FromAssembly(const std::wstring& file, const std::wstring& dll) const;
    virtual DWORD WindowsMajor() const;

private:
    void Walk(const std::wstring& file, const cPeImage::cInfo& image, const std::vector<cFolder>& folders,
              size_t depth, std::vector<std::wstring>& seen, cJudgement& judgement) const;
};
