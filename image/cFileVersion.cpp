#include "image/cFileVersion.h"
#include "sys/cOwned.h"
#include "image/cVersionBlock.h"

std::optional<std::wstring> cFileVersion::Of(const std::wstring& path)
{
    if (path.empty())
        return std::nullopt;
    const cOwned<ModuleTraits> module(
        ::LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    HRSRC found = module
                      ? ::FindResourceW(module.Get(), MAKEINTRESOURCEW(VS_VERSION_INFO), MAKEINTRESOURCEW(16))
                      : nullptr; // RT_VERSION
    HGLOBAL loaded = found ? ::LoadResource(module.Get(), found) : nullptr;
    const void* data = loaded ? ::LockResource(loaded) : nullptr;
    if (!data)
        return std::nullopt;
    const std::optional<VS_FIXEDFILEINFO> fixed =
        cVersionBlock({static_cast<const char*>(data), ::SizeofResource(module.Get(), found)}).FixedInfo();
    if (!fixed)
        return std::nullopt;
    return cVersionBlock::TextOf(*fixed);
}
