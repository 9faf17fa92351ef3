#include "forms/VersionInfo.h"
#include "platform/version_record.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using forms::GetVersionResource;
using forms::THxCVersionResourceRec;
using platform::VersionString;
using platform::VersionStringTable;
using platform::VersionTranslation;

namespace {

// Writes integers of a chosen width and byte order.
struct Writer {
    bool bigEndian;
    std::string bytes;
    void Put(std::uint64_t value, int width)
    {
        for (int i = 0; i < width; ++i) {
            const int shift = 8 * (bigEndian ? width - 1 - i : i);
            bytes += static_cast<char>((value >> shift) & 0xFF);
        }
    }
};

// A minimal ELF file: a null section, the section-name table and one section per entry.
std::string MakeElf(bool is64, bool bigEndian, const std::vector<std::pair<std::string, std::string>>& sections)
{
    const int addr = is64 ? 8 : 4;
    const std::uint64_t headerSize = is64 ? 64 : 52;
    const std::uint64_t entrySize = is64 ? 64 : 40;

    std::string names(1, '\0');
    std::vector<std::uint64_t> nameOffsets;
    const std::uint64_t namesNameOffset = names.size();
    names += ".shstrtab";
    names += '\0';
    for (const auto& section : sections) {
        nameOffsets.push_back(names.size());
        names += section.first;
        names += '\0';
    }
    std::string body = names;
    std::vector<std::uint64_t> offsets;
    for (const auto& section : sections) {
        offsets.push_back(headerSize + body.size());
        body += section.second;
    }
    const std::uint64_t sectionTable = headerSize + body.size();

    Writer w{bigEndian, {}};
    w.bytes = "\x7F" "ELF";
    w.bytes += static_cast<char>(is64 ? 2 : 1);
    w.bytes += static_cast<char>(bigEndian ? 2 : 1);
    w.bytes += '\x01';
    w.bytes.resize(16, '\0');
    w.Put(2, 2);                  // executable
    w.Put(is64 ? 62 : 3, 2);      // machine
    w.Put(1, 4);                  // version
    w.Put(0, addr);               // entry
    w.Put(0, addr);               // program headers
    w.Put(sectionTable, addr);
    w.Put(0, 4);                  // flags
    w.Put(headerSize, 2);
    w.Put(0, 2);
    w.Put(0, 2);
    w.Put(entrySize, 2);
    w.Put(sections.size() + 2, 2);
    w.Put(1, 2);                  // the name table is section 1
    w.bytes += body;

    auto putSection = [&](std::uint64_t name, std::uint32_t type, std::uint64_t offset, std::uint64_t size) {
        w.Put(name, 4);
        w.Put(type, 4);
        w.Put(0, addr);           // flags
        w.Put(0, addr);           // address
        w.Put(offset, addr);
        w.Put(size, addr);
        w.Put(0, 4);              // link
        w.Put(0, 4);              // info
        w.Put(1, addr);           // alignment
        w.Put(0, addr);           // entry size
    };
    putSection(0, 0, 0, 0);
    putSection(namesNameOffset, 3, headerSize, names.size());
    for (std::size_t i = 0; i < sections.size(); ++i) putSection(nameOffsets[i], 1, offsets[i], sections[i].second.size());
    return w.bytes;
}

// A temporary folder that takes whole files.
class TempDir {
public:
    std::string Write(const std::string& name, const std::string& bytes) const
    {
        const std::string path = folder_.File(name);
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

private:
    test_support::TempFolder folder_;
};
// A record with a string table for each translation given, plus one for Japanese.
std::string RecordWith(std::vector<VersionTranslation> translations)
{
    static constexpr VersionString english[] = {
        {"Comments", "Beta "}, {"ProductName", "Velmora"}, {"ProductVersion", "2.0"}, {"FileVersion", "2\0junk"},
    };
    static constexpr VersionString japanese[] = {{"ProductName", "ヴェルモラ"}, {"ProductVersion", "1.70"}};
    const VersionStringTable tables[] = {{{0x0409, 0x04B0}, english}, {{0x0411, 0x03A4}, japanese}};
    return platform::BuildVersionRecord(translations, tables);
}

std::string OwnExecutable() { return std::filesystem::read_symlink("/proc/self/exe").string(); }

THxCVersionResourceRec Prefilled()
{
    THxCVersionResourceRec record;
    record.Comments = "kept";
    record.ProductName = "kept too";
    return record;
}

void ExpectVelmorasOwnRecord(const std::string& path)
{
    THxCVersionResourceRec record;
    GetVersionResource(path, record);
    EXPECT_EQ(record.ProductName, "ヴェルモラ");
    EXPECT_EQ(record.FileDescription, "ヴェルモラ");
    EXPECT_EQ(record.InternalName, "ヴェルモラ");
    EXPECT_EQ(record.ProductVersion, "1.70");
    EXPECT_EQ(record.FileVersion, "1.7.0.9");
    EXPECT_EQ(record.OriginalFilename, "velmora");
    EXPECT_EQ(record.CompanyName, "Quillworks");
    EXPECT_EQ(record.LegalCopyright, "Copyright (C) 2026 Quillworks");
    EXPECT_EQ(record.Comments, "");
    EXPECT_EQ(record.LegalTrademarks, "");
    EXPECT_EQ(record.PrivateBuild, "");
    EXPECT_EQ(record.SpecialBuild, "");
    EXPECT_EQ(forms::MakeAboutText(record),
              "ヴェルモラ version1.70\rCopyright (C) 2026 Quillworks\rhttps://quillworks.example/velmora/");
}

}  // namespace

TEST(VersionResource, ReadsTheRecordTheBuildEmbedded)
{
    ExpectVelmorasOwnRecord(OwnExecutable());
#ifdef VELMORA_EXECUTABLE
    ExpectVelmorasOwnRecord(VELMORA_EXECUTABLE);
#endif
    const std::string record = platform::ReadVersionRecord(OwnExecutable());
    EXPECT_EQ(platform::QueryVersionValue(record, "\\StringFileInfo\\041103A4\\ProductName"), "ヴェルモラ");
    EXPECT_EQ(platform::QueryVersionValue(record, "\\stringfileinfo\\041103a4\\productname"), "ヴェルモラ");
    EXPECT_EQ(platform::QueryVersionValue(record, "\\VarFileInfo\\Translation"), std::string("\x11\x04\xA4\x03", 4));
    EXPECT_EQ(platform::QueryVersionValue(record, "\\StringFileInfo\\040904B0\\ProductName"), std::nullopt);
}

TEST(VersionResource, FileWithoutRecordLeavesTheRecordUnchanged)
{
    TempDir dir;
    const std::vector<std::string> paths{
        dir.Write("notes.txt", "just text"),
        dir.Write("empty", ""),
        dir.Write("other.elf", MakeElf(true, false, {{".text", "code"}})),
        dir.Write("bad-magic.elf", MakeElf(true, false, {{".velmora_version", "NOTAREC1\0\0"}})),
        dir.Write("missing", "") + ".absent",
    };
    for (const std::string& path : paths) {
        THxCVersionResourceRec record = Prefilled();
        EXPECT_NO_THROW(GetVersionResource(path, record)) << path;
        EXPECT_EQ(record.Comments, "kept") << path;
        EXPECT_EQ(record.ProductName, "kept too") << path;
    }
    EXPECT_EQ(forms::MakeAboutText(THxCVersionResourceRec{}), " version\r\rhttps://quillworks.example/velmora/");
}

TEST(VersionResource, RecordWithoutTranslationTableIsAnError)
{
    TempDir dir;
    const std::string path = dir.Write("no-translation", MakeElf(true, false, {{".velmora_version", RecordWith({})}}));
    THxCVersionResourceRec record = Prefilled();
    try {
        GetVersionResource(path, record);
        FAIL() << "no error";
    } catch (const forms::EVersionInfoError& error) {
        EXPECT_STREQ(error.what(), "情報の取得に失敗しました");
    }
    EXPECT_EQ(record.ProductName, "kept too");
}

TEST(VersionResource, FirstTranslationChoosesTheTableInEveryElfKind)
{
    TempDir dir;
    const std::string record = RecordWith({{0x0409, 0x04B0}, {0x0411, 0x03A4}});
    for (const bool is64 : {false, true}) {
        for (const bool bigEndian : {false, true}) {
            const std::string path = dir.Write("english.elf",
                MakeElf(is64, bigEndian, {{".text", "code"}, {".velmora_version", record}, {".data", "x"}}));
            THxCVersionResourceRec fields = Prefilled();
            GetVersionResource(path, fields);
            EXPECT_EQ(fields.Comments, "Beta ");
            EXPECT_EQ(fields.ProductName, "Velmora");
            EXPECT_EQ(fields.ProductVersion, "2.0");
            EXPECT_EQ(fields.FileVersion, "2") << "a value ends at its first NUL";
            EXPECT_EQ(fields.CompanyName, "");
            EXPECT_EQ(forms::MakeAboutText(fields), "Beta Velmora version2.0\r\rhttps://quillworks.example/velmora/");
        }
    }
}

TEST(VersionResource, DamagedFilesAndRecordsAreSafe)
{
    TempDir dir;
    const std::string record = RecordWith({{0x0411, 0x03A4}});
    const std::string elf = MakeElf(true, false, {{".velmora_version", record}});
    // Every truncation of the file and of the record must be handled without reading past
    // the end: either the record is found whole or it is absent.
    for (std::size_t length = 0; length < elf.size(); length += 7) {
        const std::string found = platform::ReadVersionRecord(dir.Write("cut.elf", elf.substr(0, length)));
        EXPECT_TRUE(found.empty() || found == record) << length;
    }
    for (std::size_t length = 0; length < record.size(); ++length) {
        const std::string cut = record.substr(0, length);
        const auto value = platform::QueryVersionValue(cut, "\\StringFileInfo\\041103A4\\ProductVersion");
        EXPECT_EQ(value, std::nullopt) << length;
    }
    // A section table pointing far beyond the file.
    std::string farOff = elf;
    for (int i = 0; i < 8; ++i) farOff[40 + i] = '\x7F';
    EXPECT_EQ(platform::ReadVersionRecord(dir.Write("far.elf", farOff)), "");
}
