#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "platform/paths.h"
#include "support/test_support.h"

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

void Touch(const std::string& path) {
    QDir().mkpath(QFileInfo(Q(path)).absolutePath());
    QFile file(Q(path));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
}

TEST(Paths, DataBesideTheProgramElseTheInstalledFolderWhereverTheInstallIs) {
    TempFolder dir;
    // A build tree: the data lies beside the program.
    Touch(dir.Path("build/bin/default.fmt"));
    EXPECT_EQ(DataFolder(dir.Path("build/bin")), dir.Path("build/bin"));
    // An installation under any prefix: share/reelcard and the plugin folder
    // are found from bin/, so a moved installation keeps working.
    for (const std::string prefix : {"usr", "opt/elsewhere"}) {
        Touch(dir.Path(prefix + "/share/reelcard/default.fmt"));
        QDir().mkpath(Q(dir.Path(prefix + "/bin")));
        EXPECT_EQ(DataFolder(dir.Path(prefix + "/bin")), dir.Path(prefix + "/share/reelcard"));
        const std::vector<std::string> plugins = PluginFolders(dir.Path(prefix + "/bin"));
        ASSERT_EQ(plugins.size(), 2u);
        EXPECT_EQ(plugins[0], dir.Path(prefix + "/bin"));
        EXPECT_EQ(Q(plugins[1]).left(Q(dir.Path(prefix + "/lib")).size()), Q(dir.Path(prefix + "/lib")));
        EXPECT_TRUE(Q(plugins[1]).endsWith("/reelcard/plugins"));
    }
    // Neither: the program's folder, where a missing default format is reported.
    QDir().mkpath(Q(dir.Path("lonely/bin")));
    EXPECT_EQ(DataFolder(dir.Path("lonely/bin")), dir.Path("lonely/bin"));
    EXPECT_EQ(DataFolder(), REELCARD_BIN_DIR);
    EXPECT_EQ(BundledDefaultFormat(), REELCARD_BIN_DIR "/default.fmt");
}

TEST(Paths, ShippedFilesAreTheDataNotTheFolderAroundThem) {
    TempFolder dir;
    const std::string data = dir.Path("share/reelcard");
    for (const char* name : {"default.fmt", "formats/four-panel.fmt", "samples/mixtape.cas", "help/index.html"}) {
        Touch(data + "/" + name);
        EXPECT_TRUE(IsShippedFile(data + "/" + name, data)) << name;
    }
    EXPECT_TRUE(IsShippedFile(data + "/formats/new-one.fmt", data));  // not there yet: still ours
    EXPECT_TRUE(IsShippedFile(data + "/samples/../default.fmt", data));
    EXPECT_FALSE(IsShippedFile(data + "/mine.fmt", data));
    EXPECT_FALSE(IsShippedFile(dir.Path("share/default.fmt"), data));
    EXPECT_FALSE(IsShippedFile(dir.Path("home/formats/default.fmt"), data));
    EXPECT_FALSE(IsShippedFile("", data));
    // Through a link to the data folder too.
    ASSERT_TRUE(QFile::link(Q(data), Q(dir.Path("link"))));
    EXPECT_TRUE(IsShippedFile(dir.Path("link/default.fmt"), data));
}

TEST(Paths, UserFoldersAndVersion) {
    const QByteArray saved = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", "/tmp/reelcard-data-home");
    EXPECT_EQ(UserFormatFolder(), "/tmp/reelcard-data-home/reelcard/formats");
    if (saved.isEmpty()) {
        qunsetenv("XDG_DATA_HOME");
    } else {
        qputenv("XDG_DATA_HOME", saved);
    }
    EXPECT_TRUE(QFileInfo(Q(DocumentsFolder())).isDir());
    EXPECT_STRNE(ProgramVersion(), "");
    EXPECT_EQ(std::string(ProgramVersion()).find('.'), 1u);
}

}  // namespace
