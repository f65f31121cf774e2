// Replays every input the fuzz targets keep: the seed corpora in fuzz/corpus
// and the inputs that once broke a reader, in tests/data/regressions (one
// folder per fuzz target).  Each input goes through the same reader and the
// same checks as in its fuzz target, so a fault that comes back fails here,
// and under the sanitizer build it fails with the report that found it.
#include <gtest/gtest.h>

#include <malloc.h>

#include <QDir>
#include <QFileInfo>
#include <cstdlib>
#include <string>
#include <vector>

#include "document/liner_file.h"
#include "document/older_version.h"
#include "pictures/bmp_reader.h"
#include "pictures/picture_host.h"
#include "support/test_support.h"

namespace {

// The inputs kept for one fuzz target, with the round trip also replaying
// the liner reader's.
std::vector<std::string> Inputs(const std::string& target) {
    std::vector<std::string> paths;
    const QString root = QStringLiteral(REELCARD_SOURCE_DIR);
    for (const QString& folder : {root + "/tests/data/regressions/" + QString::fromStdString(target),
                                  root + "/fuzz/corpus/" + QString::fromStdString(target)}) {
        for (const QFileInfo& file : QDir(folder).entryInfoList(QDir::Files | QDir::Hidden, QDir::Name)) {
            paths.push_back(file.absoluteFilePath().toStdString());
        }
    }
    return paths;
}

// The kept regressions must be there: an empty list would pass silently.
TEST(FuzzRegressions, EveryTargetHasInputs) {
    for (const char* target : {"liner", "format", "older_version", "bmp", "tga", "png"}) {
        EXPECT_FALSE(Inputs(target).empty()) << target;
    }
}

TEST(FuzzRegressions, LinerReader) {
    for (const std::string& path : Inputs("liner")) {
        SCOPED_TRACE(path);
        Liner liner;
        EnsureStandardFonts(liner);
        const Liner before = liner;
        const ParseStatus status = ParseLinerBytes(ReadBytes(path), FileKind::Liner, liner);
        if (status != ParseStatus::Ok) {
            EXPECT_EQ(liner, before) << "a refused file changed the Liner";
        } else {
            EXPECT_EQ(ReadTitlePreview(path), std::optional<TextBlock>(liner.title));
        }
    }
}

TEST(FuzzRegressions, FormatReader) {
    for (const std::string& path : Inputs("format")) {
        SCOPED_TRACE(path);
        Liner liner;
        liner.title = {1, "kept"};
        const ParseStatus status = ParseLinerBytes(ReadBytes(path), FileKind::Format, liner);
        EXPECT_NE(status, ParseStatus::OlderVersion);
        EXPECT_EQ(liner.title, (TextBlock{1, "kept"}));
    }
}

TEST(FuzzRegressions, ReadWriteReadGivesTheSameLiner) {
    std::vector<std::string> paths = Inputs("liner_round_trip");
    for (const char* more : {"liner", "format"}) {
        for (const std::string& path : Inputs(more)) paths.push_back(path);
    }
    int read = 0;
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        const std::vector<uint8_t> bytes = ReadBytes(path);
        for (FileKind kind : {FileKind::Liner, FileKind::Format}) {
            Liner first;
            if (ParseLinerBytes(bytes, kind, first) != ParseStatus::Ok) continue;
            ++read;
            auto written = SerializeLiner(first, kind);
            ASSERT_TRUE(written) << "a Liner that was read cannot be written";
            Liner second;
            ASSERT_EQ(ParseLinerBytes(*written, kind, second), ParseStatus::Ok);
            EXPECT_EQ(first, second);
            EXPECT_EQ(SerializeLiner(second, kind), written);
        }
    }
    EXPECT_GT(read, 0);
}

class Answering : public ScriptedPrompter {
public:
    explicit Answering(MergeChoice answer) { mergeAnswers.push_back(answer); }
};

TEST(FuzzRegressions, OlderVersionImport) {
    Liner open;
    EnsureStandardFonts(open);
    Feature tape;
    tape.style = kFeatureCenteredWithSides;
    tape.name = "Tape";
    tape.sides[0].choices = {"Chrome", "Normal"};
    open.features.push_back(tape);
    open.title = {2, "Old title\r\nSecond line"};
    int merged = 0;
    for (const std::string& path : Inputs("older_version")) {
        SCOPED_TRACE(path);
        const std::vector<uint8_t> bytes = ReadBytes(path);
        for (MergeChoice choice : {MergeChoice::All, MergeChoice::Text}) {
            Liner liner = open;
            Answering prompter(choice);
            ImportResult result = ImportOlderVersion(liner, bytes, false, "old.cas", prompter);
            if (result.outcome != ImportOutcome::Merged) continue;
            ++merged;
            EXPECT_TRUE(SerializeLiner(liner, FileKind::Liner)) << "a merged Liner cannot be saved";
        }
    }
    EXPECT_GT(merged, 0);
}

// Every byte a PackedDib's header describes lies inside its block.
void ExpectWholeBlock(const void* dib, bool withPixels) {
    if (!dib) return;
    const auto* p = static_cast<const uint8_t*>(dib);
    auto le32 = [p](size_t at) {
        return uint32_t{p[at]} | uint32_t{p[at + 1]} << 8 | uint32_t{p[at + 2]} << 16 | uint32_t{p[at + 3]} << 24;
    };
    ASSERT_EQ(le32(0), 40u);
    const int32_t width = static_cast<int32_t>(le32(4));
    const int32_t height = static_cast<int32_t>(le32(8));
    ASSERT_GT(width, 0);
    ASSERT_GT(height, 0);
    const unsigned bits = p[14] | p[15] << 8;
    size_t extent = 40 + size_t{le32(32)} * 4;
    if (withPixels) extent += static_cast<size_t>((uint64_t(width) * bits + 31) / 32 * 4 * uint64_t(height));
    EXPECT_GE(malloc_usable_size(const_cast<void*>(dib)), extent);
}

// The information block describes the bitmap the read delivers.
void ExpectSamePicture(const void* info, const void* dib) {
    if (!info || !dib) return;
    const auto* a = static_cast<const uint8_t*>(info);
    const auto* b = static_cast<const uint8_t*>(dib);
    const uint32_t colours = a[32] | a[33] << 8 | a[34] << 16 | uint32_t{a[35]} << 24;
    EXPECT_EQ(std::vector<uint8_t>(a + 4, a + 16), std::vector<uint8_t>(b + 4, b + 16)) << "size and bit count";
    EXPECT_EQ(std::vector<uint8_t>(a + 32, a + 40 + size_t{colours} * 4),
              std::vector<uint8_t>(b + 32, b + 40 + size_t{colours} * 4)) << "colour table";
}

TEST(FuzzRegressions, BuiltInBmpReader) {
    int decoded = 0;
    for (const std::string& path : Inputs("bmp")) {
        SCOPED_TRACE(path);
        DibPtr info(BmpGetFileInformation(path.c_str()));
        if (!info) {
            EXPECT_NE(BmpGetError(nullptr), PluginErrorNone);
        }
        ExpectWholeBlock(info.get(), false);
        DibPtr dib(BmpReadGraphicFile(path.c_str()));
        if (!dib) {
            EXPECT_NE(BmpGetError(nullptr), PluginErrorNone);
        }
        decoded += dib != nullptr;
        ExpectWholeBlock(dib.get(), true);
        ExpectSamePicture(info.get(), dib.get());
    }
    EXPECT_GT(decoded, 0);
}

// The plugins as the program loads them, from the build's output folder.
void ReplayPlugin(int row, const std::string& target) {
    static PictureReaderTable table(REELCARD_BIN_DIR);
    ScriptedPrompter prompter;
    ASSERT_TRUE(LoadPictureReader(row, prompter, table)) << prompter.LastText();
    const PictureReader& reader = table.Row(row);
    int decoded = 0;
    for (const std::string& path : Inputs(target)) {
        SCOPED_TRACE(path);
        DibPtr info(reader.information(path.c_str()));
        if (!info) {
            EXPECT_NE(reader.error(nullptr), PluginErrorNone);
        }
        ExpectWholeBlock(info.get(), false);
        DibPtr dib(reader.read(path.c_str()));
        if (!dib) {
            EXPECT_NE(reader.error(nullptr), PluginErrorNone);
        }
        decoded += dib != nullptr;
        ExpectWholeBlock(dib.get(), true);
        ExpectSamePicture(info.get(), dib.get());
    }
    EXPECT_GT(decoded, 0);
}

TEST(FuzzRegressions, TgaPlugin) { ReplayPlugin(kReaderTga, "tga"); }
TEST(FuzzRegressions, PngPlugin) { ReplayPlugin(kReaderPng, "png"); }

}  // namespace
