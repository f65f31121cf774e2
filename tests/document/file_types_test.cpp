#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "document/file_types.h"
#include "platform/strings.h"
#include "support/test_support.h"

namespace {

std::string ReadText(const std::string& path) {
    QFile file(QString::fromStdString(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
}

void WriteText(const std::string& path, const std::string& text) {
    const std::vector<uint8_t> bytes(text.begin(), text.end());
    WriteBytes(path, bytes);
}

struct Places {
    TempFolder dir;
    FileTypePlaces places{dir.Path("data"), dir.Path("config")};
};

TEST(FileTypes, AssociatingKeepsOtherDefaultsAndNoticesATakeOver) {
    Places p;
    QDir().mkpath(QString::fromStdString(p.places.configHome));
    WriteText(p.places.MimeAppsPath(),
              "[Added Associations]\ntext/plain=editor.desktop;\n\n[Default Applications]\n"
              "image/png=viewer.desktop;\n\n[Other]\nx=y\n");
    EXPECT_FALSE(IsAssociatedWithProgram(".cas", p.places));

    ASSERT_TRUE(AssociateExtensions({".cas"}, p.places));
    ASSERT_TRUE(AssociateExtensions({".CAS", ".dat"}, p.places));  // same type as .cas, never twice
    ASSERT_TRUE(WriteProgramEntry(p.places, "/opt/my tapes/reelcard", QImage()));
    EXPECT_TRUE(IsAssociatedWithProgram(".cas", p.places));
    EXPECT_TRUE(IsAssociatedWithProgram(".Cas", p.places));
    EXPECT_TRUE(IsAssociatedWithProgram(".dat", p.places));
    EXPECT_FALSE(CurrentRegistration(".cas", p.places));

    EXPECT_EQ(ReadText(p.places.MimeAppsPath()),
              "[Added Associations]\ntext/plain=editor.desktop;\n\n[Default Applications]\n"
              "image/png=viewer.desktop;\napplication/x-reelcard-cas=reelcard.desktop;\n"
              "application/x-reelcard-dat=reelcard.desktop;\n\n[Other]\nx=y\n");
    const std::string package = ReadText(p.places.PackagePath());
    EXPECT_NE(package.find("<glob pattern=\"*.cas\" weight=\"80\"/>"), std::string::npos);
    EXPECT_EQ(package.find("*.CAS"), std::string::npos);
    const std::string entry = ReadText(p.places.DesktopEntryPath());
    EXPECT_NE(entry.find("\nExec=\"/opt/my tapes/reelcard\" %f\n"), std::string::npos);
    EXPECT_NE(entry.find("\nMimeType=application/x-reelcard-cas;application/x-reelcard-dat;\n"), std::string::npos);

    // Another program made itself the default for our type of .dat.
    std::string list = ReadText(p.places.MimeAppsPath());
    list.replace(list.find("application/x-reelcard-dat=reelcard.desktop;"),
                 std::string("application/x-reelcard-dat=reelcard.desktop;").size(),
                 "application/x-reelcard-dat=player.desktop;reelcard.desktop;");
    WriteText(p.places.MimeAppsPath(), list);
    EXPECT_FALSE(IsAssociatedWithProgram(".dat", p.places));
    EXPECT_EQ(CurrentRegistration(".dat", p.places), "player");
    ASSERT_TRUE(AssociateExtensions({".dat"}, p.places));
    EXPECT_TRUE(IsAssociatedWithProgram(".dat", p.places));
}

TEST(FileTypes, ExecLineQuotesAndEscapesThePath) {
    EXPECT_EQ(DesktopExecLine("/usr/bin/reelcard"), "\"/usr/bin/reelcard\" %f");
    // Inside the quotes: \" \` \$ \\ and %%; then the entry file's own "\\".
    EXPECT_EQ(DesktopExecLine("/a \"b\" $c\\d%e"), "\"/a \\\\\"b\\\\\" \\\\$c\\\\\\\\d%%e\" %f");
    EXPECT_NE(FileTypeOfExtension(".a_b"), FileTypeOfExtension(".a-b"));
    EXPECT_EQ(FileTypeOfExtension(".Tape"), "application/x-reelcard-tape");
}

TEST(FileTypes, TableRowsAreCheckedInOrderAgainstTheShownSlots) {
    FileTypeTable table;
    table[1] = {".old", "Gone"};
    table[3] = {".cas", "Cassette Files"};
    const FileTypeTable kept =
        KeepAssociatedSlots(table, [](const std::string& ext) { return ext == ".cas"; });
    EXPECT_EQ(kept[0].extension, ".cas");
    EXPECT_EQ(kept[0].description, "Cassette Files");
    EXPECT_TRUE(kept[1].extension.empty());

    auto check = [&](FileTypeTable rows) { return CheckFileTypeRows(rows, kept); };
    FileTypeTable rows = kept;
    EXPECT_FALSE(check(rows));

    rows[2] = {"tap", ""};
    auto problem = check(rows);
    ASSERT_TRUE(problem);
    EXPECT_EQ(problem->row, 2);
    EXPECT_FALSE(problem->onExtension);
    EXPECT_EQ(problem->message, LoadString(IDS_EXT_AND_DESC_REQUIRED));
    rows[2].description = "Tapes";
    EXPECT_EQ(check(rows)->message, LoadString(IDS_EXT_NEEDS_PERIOD));
    rows[2].extension = ".t p";
    EXPECT_TRUE(check(rows)->onExtension);
    rows[2].extension = ".CAS";
    EXPECT_EQ(check(rows)->row, 2);  // already listed in row 1
    rows[2].extension = ".tap";
    EXPECT_FALSE(check(rows));

    rows[0].extension = ".cax";
    EXPECT_EQ(check(rows)->message, LoadString(IDS_EXT_NO_OVERWRITE));
    rows[0] = {"", ""};
    EXPECT_EQ(check(rows)->message, LoadString(IDS_EXT_NO_BLANKING));
    rows[0] = {"", "Cassette Files"};
    problem = check(rows);
    EXPECT_EQ(problem->message, LoadString(IDS_EXT_AND_DESC_REQUIRED));
    EXPECT_TRUE(problem->onExtension);
}

}  // namespace
