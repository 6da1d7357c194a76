#include "image/cPeImage.h"
#include "tests/support/TestPc.h"
#include <array>
#include <cstring>

namespace
{
// The test image: headers, then .rsrc at RVA 0x1000 and .idata at RVA 0x2000, 0x200 bytes of each.
constexpr size_t FileHeader = 0x44, Optional = 0x58, Dirs = Optional + 96, Sections = Optional + 224,
                 Rsrc = 0x200, Idata = 0x400;
constexpr DWORD ImageBase = 0x10000000;
const std::string Whole = "Image|KERNEL32.dll,mfc42.dll|version.dll||<assembly/>";
using cPatches = std::vector<std::pair<size_t, DWORD>>; // a DWORD written at each offset

// An x86 DLL (x64 as PE32+) importing KERNEL32.dll and mfc42.dll, delay-loading version.dll, with a manifest,
// and then `patches` applied. Where two 16-bit fields share a DWORD, both are written at once.
std::vector<BYTE> Dll(bool plus = false, const cPatches& patches = {})
{
    const size_t dirs = Dirs + (plus ? 16 : 0), table = Sections + (plus ? 16 : 0), base = plus ? 24 : 28;
    const DWORD machine = plus ? 0x28664 : 0x2014C, sizes = plus ? 0x210200F0 : 0x210200E0,
                magic = plus ? 0x20B : 0x10B;
    // clang-format off
    const cPatches fields = {
        {0x00, 0x5A4D}, {0x3C, 0x40}, {0x40, 0x4550},                           // "MZ", e_lfanew, "PE"
        {FileHeader, machine}, {FileHeader + 16, sizes},                          // 2 sections; a DLL
        {Optional, magic}, {Optional + base, ImageBase}, {Optional + 60, 0x200}, {dirs - 4, 16},
        {dirs + 8, 0x2000}, {dirs + 12, 40}, {dirs + 16, 0x1000}, {dirs + 20, 0x200}, // imports, resources
        {dirs + 104, 0x2040}, {dirs + 108, 64},                                   // delay-loads
        {table + 8, 0x200}, {table + 12, 0x1000}, {table + 16, 0x200}, {table + 20, Rsrc},   // .rsrc
        {table + 48, 0x200}, {table + 52, 0x2000}, {table + 56, 0x200}, {table + 60, Idata}, // .idata
        // type 24, id 2, language 0x411, then the data entry: 11 bytes at RVA 0x1060
        {Rsrc + 12, 0x10000}, {Rsrc + 16, 24}, {Rsrc + 20, 0x80000018},
        {Rsrc + 0x24, 0x10000}, {Rsrc + 0x28, 2}, {Rsrc + 0x2C, 0x80000030},
        {Rsrc + 0x3C, 0x10000}, {Rsrc + 0x40, 0x411}, {Rsrc + 0x44, 0x48},
        {Rsrc + 0x48, 0x1060}, {Rsrc + 0x4C, 11},
        // two import descriptors (name, address table), a delay-load one (attributes, name), a stray one
        {Idata + 12, 0x2080}, {Idata + 16, 0x20F0}, {Idata + 32, 0x2090}, {Idata + 36, 0x20F0},
        {Idata + 0x40, 1}, {Idata + 0x44, 0x20A0}, {Idata + 0x1F8, 0x2080}, {Idata + 0x1FC, 0x20F0}};
    const std::pair<size_t, std::string_view> texts[] = {
        {Rsrc + 0x60, "<assembly/>"}, {Idata + 0x80, "KERNEL32.dll"}, {Idata + 0x90, "mfc42.dll"},
        {Idata + 0xA0, "version.dll"}};
    // clang-format on
    std::vector<BYTE> bytes(0x600);
    for (const cPatches* part : {&fields, &patches})
        for (const auto& [at, value] : *part)
            std::memcpy(bytes.data() + at, &value, sizeof value);
    for (const auto& [at, text] : texts)
        std::copy(text.begin(), text.end(), bytes.begin() + static_cast<ptrdiff_t>(at));
    return bytes;
}

// Shape|imports|delay-loads|unplain names|manifest.
std::string Summary(std::span<const BYTE> bytes)
{
    const cPeImage::cInfo info = cPeImage::Read(bytes);
    std::string text = std::array{"Image", "NotAnImage", "Truncated", "Damaged",
                                  "Unjudged"}[static_cast<size_t>(info.Shape)];
    for (const std::vector<std::string>* names : {&info.Imports, &info.DelayImports, &info.Unplain})
    {
        text += '|';
        for (const std::string& name : *names)
            text += (text.back() == '|' ? "" : ",") + name;
    }
    return text + "|" + info.Manifest.value_or("-");
}
} // namespace

TEST(cPeImageTest, AWholeImageGivesItsNamesAndKindAndEveryCutOfItIsTruncated)
{
    const std::vector<BYTE> whole = Dll();
    for (size_t n = 0; n < whole.size(); ++n)
        EXPECT_EQ(n < 2 ? "NotAnImage||||-" : "Truncated||||-", Summary(std::span(whole).first(n))) << n;
    EXPECT_EQ(Whole, Summary(Dll(true)));
    const cPeImage::cInfo x86 = cPeImage::Read(whole), x64 = cPeImage::Read(Dll(true)),
                          exe = cPeImage::Read(Dll(false, {{FileHeader + 16, 0x010200E0}}));
    EXPECT_EQ(std::tuple(0x14C, true, false, 0x8664, true, true, false),
              std::tuple(x86.Machine, x86.Dll, x86.Pe32Plus, x64.Machine, x64.Dll, x64.Pe32Plus, exe.Dll));
    using M = cPeImage::eMachine;
    EXPECT_EQ((std::vector{M::X86, M::X64, M::Arm64, M::Other}),
              (std::vector{cPeImage::MachineOf(0x14C), cPeImage::MachineOf(0x8664),
                           cPeImage::MachineOf(0xAA64), cPeImage::MachineOf(0x1C4)}));
}

TEST(cPeImageTest, FieldsNoLoaderAcceptsAreDamagedAndAddressesReadAsTheLoaderMapsThem)
{
    const std::string cut = "Truncated||||-", damaged = "Damaged||||-", other = "NotAnImage||||-",
                      noImports = "Image||version.dll||<assembly/>", one = "|KERNEL32.dll|version.dll|",
                      kernel = "Damaged" + one + "|<assembly/>", names = "Image|KERNEL32.dll,mfc42.dll|",
                      none = names + "version.dll||-";
    // clang-format off
    const std::pair<cPatches, std::string> rows[] = {
        // e_lfanew and raw data where 32-bit sums wrap, SizeOfHeaders past the end, "PX", another magic,
        // 97 sections, 96 whose table is cut, no room for the directories, over 16 (clamped) and 2 of them
        {{{0x3C, 0xFFFFFFFE}}, cut}, {{{Sections + 20, 0xFFFFFF00}}, cut}, {{{Optional + 60, 0x601}}, cut},
        {{{0x40, 0x5850}}, other}, {{{Optional, 0x107}}, other}, {{{FileHeader, 0x61014C}}, damaged},
        {{{FileHeader, 0x60014C}}, cut}, {{{FileHeader + 16, 0x210200DF}}, damaged},
        {{{Optional + 92, 17}}, Whole}, {{{Optional + 92, 2}}, names + "||-"},
        // imports: none, in the headers (zeros there), a virtual size below the raw one, in zero-fill, off
        // their section's end, a name outside any section, a descriptor without an address table
        {{{Dirs + 12, 0}}, noImports}, {{{Dirs + 8, 0x100}}, noImports}, {{{Sections + 48, 0x10}}, Whole},
        {{{Sections + 48, 0x400}, {Dirs + 8, 0x2300}}, noImports}, {{{Dirs + 8, 0x21EC}}, kernel},
        {{{Idata + 32, 0x2200}}, kernel}, {{{Idata + 36, 0}}, "Image" + one + "|<assembly/>"},
        // names as mapped: one ending in zero-fill, one starting there
        {{{Sections + 48, 0x400}, {Idata + 32, 0x21FC}, {Idata + 0x1FC, 0x62626262}},
         "Image|KERNEL32.dll,bbbb|version.dll||<assembly/>"},
        {{{Sections + 48, 0x400}, {Idata + 32, 0x2300}}, "Image" + one + "?|<assembly/>"},
        // delay loads, never damage: an old VA-based one, one with attributes 0 and an RVA as documented, one
        // pointing nowhere, one without its terminator
        {{{Idata + 0x40, 0}, {Idata + 0x44, ImageBase + 0x20A0}}, Whole}, {{{Idata + 0x40, 0}}, Whole},
        {{{Dirs + 104, 0x3000}}, names + "||<assembly/>"},
        {{{Dirs + 104, 0x21E0}, {Idata + 0x1E0, 1}, {Idata + 0x1E4, 0x20A0}}, Whole},
        // the manifest: id 1, data past the section, not among as many types as the reader reads
        {{{Rsrc + 0x28, 1}}, none}, {{{Rsrc + 0x4C, 0x1A1}}, none},
        {{{Sections + 8, 0x9000}, {Rsrc + 12, 0x10010000}, {Rsrc + 16, 25}}, "Unjudged||||-"}};
    // clang-format on
    for (const auto& [patches, expected] : rows)
        EXPECT_EQ(expected, Summary(Dll(false, patches)))
            << patches.front().first << "=" << patches.front().second;
    EXPECT_EQ(damaged, Summary(Dll(true, {{FileHeader + 16, 0x210200E0}}))) << "PE32+ needs 240 bytes";
    // More descriptors than the reader's bound: not judged, never damaged.
    std::vector<BYTE> many =
        Dll(false, {{Dirs + 8, 0x2200}, {Sections + 48, 0x14400}, {Sections + 56, 0x14400}});
    many.resize(Idata + 0x14400);
    for (size_t at = Idata + 0x200; at < Idata + 0x200 + 4097 * 20; at += 20)
        std::memcpy(&many[at + 12], "\x80\x20\0\0\xF0\x20\0\0", 8);
    EXPECT_EQ("Unjudged" + one + "|<assembly/>", Summary(many));
    // A failed read says why: no shape is guessed from bytes never read.
    const cPeImage::cInfo failed = cPeImage::Read(
        0x600, [](uint64_t, std::span<BYTE>, size_t& read) { return read = 0, DWORD{ERROR_IO_DEVICE}; });
    EXPECT_TRUE(failed.Shape == cPeImage::eShape::Unreadable && failed.Error == ERROR_IO_DEVICE);
}

TEST(cPeImageTest, OnlyAPlainNameIsLookedUpAndAnyOtherIsShownSafely)
{
    const std::string a255(255, 'a'), a300(300, 'a'), b16(16, 'b');
    // clang-format off
    // at, name, imports after KERNEL32.dll, unplain names
    const std::tuple<size_t, std::string, std::string, std::string> rows[] = {
        {0xB0, "kernel32.DLL", "", ""}, {0xB0, "..\\x.dll", "", "..\\x.dll"}, {0xB0, "", "", "?"},
        {0xB0, "C:\\x.dll", "", "C:\\x.dll"}, {0xB0, "a/b.dll", "", "a/b.dll"},
        {0xB0, "x\x01\xE3.dll", "", "x??.dll"}, {0xB0, a255, "," + a255, ""},
        {0xB0, a300, "", a300.substr(0, 32)}, // no NUL within 256 bytes
        {0x1F0, b16, "", b16}};               // nor before the section's end
    // clang-format on
    for (const auto& [at, name, imports, unplain] : rows)
    {
        std::vector<BYTE> bytes = Dll(false, {{Idata + 32, static_cast<DWORD>(0x2000 + at)}});
        std::copy(name.begin(), name.end(), bytes.begin() + static_cast<ptrdiff_t>(Idata + at));
        EXPECT_EQ("Image|KERNEL32.dll" + imports + "|version.dll|" + unplain + "|<assembly/>", Summary(bytes))
            << at;
    }
    EXPECT_TRUE(cPeImage::IsPlainName("a.dll") && cPeImage::IsPlainName(" ~a b"));
    for (const std::string_view name : {".", "..", "a ", "a*", "a?", "a\"", "a<", "a>", "a|", "a\x7F"})
        EXPECT_FALSE(cPeImage::IsPlainName(name)) << name;
}
