#include <gtest/gtest.h>

#include <QSettings>

#include "document/settings.h"
#include "support/test_support.h"

namespace {

struct Store {
    TempFolder dir;
    std::string path = dir.Path("settings.ini");
    QSettings Open() const { return QSettings(QString::fromStdString(path), QSettings::IniFormat); }
};

TEST(Settings, FirstStartTakesStartValuesAndNoFileTypes) {
    Store store;
    QSettings s = store.Open();
    Settings settings = LoadSettings(s, {"/usr/share/reelcard", "/home/me/Documents"},
                                     [](const std::string&) { return true; });
    // The shipped default format; liners, pictures and printing start in the documents.
    EXPECT_EQ(settings.formatFolder, "/usr/share/reelcard");
    EXPECT_EQ(settings.linerFolder, "/home/me/Documents");
    EXPECT_EQ(settings.pictureFolder, "/home/me/Documents");
    EXPECT_EQ(settings.printFolder, "/home/me/Documents");
    EXPECT_EQ(settings.exportFolder, "/home/me/Documents");
    EXPECT_EQ(settings.exportDpi, 300);
    EXPECT_EQ(settings.zoom, 100);
    EXPECT_EQ(settings.defaultFormatName, "default.fmt");
    EXPECT_EQ(DefaultFormatPath(settings), "/usr/share/reelcard/default.fmt");
    EXPECT_EQ(settings.copies, 1);
    EXPECT_EQ(settings.print.marginLeft.unit, kUnitInches);
    EXPECT_EQ(settings.print.marginLeft.twips, 0);
    for (const auto& slot : settings.fileTypes) EXPECT_TRUE(slot.extension.empty());
}

TEST(Settings, RoundTripAndBuiltInTypes) {
    Store store;
    Settings settings = DefaultSettings({"/opt/reelcard", "/home/me"});
    settings.print.print2Up = true;
    settings.applyLastFont = true;
    settings.copies = 3;
    settings.linerFolder = "/home/me/tapes";
    settings.defaultFormatName = "four-panel.fmt";
    settings.print.marginTop = *ParseMeasurement("1.27 cm", false, kUnitInches);
    settings.print.marginLeft = *ParseMeasurement("0.5", false, kUnitInches);
    settings.print.marginLeft.unit = kUnitNone;
    settings.windowRect = {10, 20, 810, 620};
    settings.exportFolder = "/home/me/shop";
    settings.exportFilterIndex = 3;
    settings.exportSheet = true;
    settings.exportDpi = 600;
    settings.exportTransparent = true;
    settings.zoom = 200;
    {
        QSettings s = store.Open();
        SaveSettings(s, settings);
    }
    QSettings s = store.Open();
    std::vector<std::string> asked;
    Settings read = LoadSettings(s, {"/elsewhere", "/elsewhere"}, [&](const std::string& ext) {
        asked.push_back(ext);
        return ext == ".dat";
    });
    EXPECT_TRUE(read.print.print2Up);
    EXPECT_TRUE(read.applyLastFont);
    EXPECT_FALSE(read.resizeWindow);
    EXPECT_EQ(read.copies, 3);
    EXPECT_EQ(read.linerFolder, "/home/me/tapes");
    EXPECT_EQ(read.defaultFormatName, "four-panel.fmt");
    EXPECT_EQ(read.print.marginTop, settings.print.marginTop);
    EXPECT_EQ(read.print.marginLeft.unit, kUnitInches);  // unit-less margins count in inches
    EXPECT_EQ(read.windowRect, settings.windowRect);
    EXPECT_EQ(read.exportFolder, "/home/me/shop");
    EXPECT_EQ(read.exportFilterIndex, 3);
    EXPECT_TRUE(read.exportSheet);
    EXPECT_EQ(read.exportDpi, 600);
    EXPECT_TRUE(read.exportTransparent);
    EXPECT_EQ(read.zoom, 200);
    // The key exists without file types: associated built-in types are offered.
    EXPECT_EQ(asked, (std::vector<std::string>{".cas", ".dat"}));
    EXPECT_EQ(read.fileTypes[0].extension, ".dat");
    EXPECT_EQ(read.fileTypes[0].description, "DAT Files");
    EXPECT_TRUE(read.fileTypes[1].extension.empty());
}

TEST(Settings, ValuesThatDoNotFitAreIgnored) {
    Store store;
    {
        QSettings s = store.Open();
        s.beginGroup("Options");
        s.setValue("Pcp", QByteArray("\x01\x02\x03", 3));
        s.setValue("Lid", QString(300, 'x'));
        s.setValue("FTy2", ".tape");
        s.setValue("FDs2", "Tape Files");
        s.setValue("Edp", 0);
        s.endGroup();
    }
    QSettings s = store.Open();
    Settings read = LoadSettings(s, {"/p", "/p"}, [](const std::string&) { return true; });
    // Values of a later version than the store's, and a resolution out of range, start afresh.
    EXPECT_EQ(read.exportFolder, "/p");
    EXPECT_EQ(read.exportDpi, 300);
    EXPECT_EQ(read.zoom, 100);
    EXPECT_EQ(read.copies, 0);
    EXPECT_EQ(read.linerFolder, "");
    EXPECT_EQ(read.fileTypes[2].extension, ".tape");
    EXPECT_TRUE(read.fileTypes[0].extension.empty());
}

TEST(RecentFiles, OrderAndMenu) {
    RecentFiles recent;
    for (const char* p : {"/a/1.cas", "/a/2.cas", "/a/3.cas", "/a/4.cas", "/a/5.cas"}) recent.Add(p);
    ASSERT_EQ(recent.count(), 4);
    EXPECT_EQ(recent.paths().front(), "/a/5.cas");
    EXPECT_EQ(recent.paths().back(), "/a/2.cas");
    auto items = recent.MenuItems();
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[0].command, 128);
    EXPECT_EQ(items[0].text, "&1 /a/5.cas");
    EXPECT_EQ(items[3].command, 131);
    EXPECT_EQ(recent.PathOfCommand(128), "/a/5.cas");
    EXPECT_EQ(recent.PathOfCommand(131), "/a/2.cas");
    EXPECT_EQ(recent.PathOfCommand(127), "");

    recent.Add("/a/5.cas");
    EXPECT_EQ(recent.paths().front(), "/a/5.cas");
    recent.Add("/a/3.cas");
    EXPECT_EQ(recent.paths(), (std::vector<std::string>{"/a/3.cas", "/a/5.cas", "/a/4.cas", "/a/2.cas"}));
    recent.Add("/A/3.cas");  // case matters
    EXPECT_EQ(recent.paths().front(), "/A/3.cas");

    RecentFiles two;
    two.Add("/x");
    two.Add("/y");
    auto twoItems = two.MenuItems();
    EXPECT_EQ(twoItems[0].command, 130);
    EXPECT_EQ(twoItems[1].command, 131);
    EXPECT_EQ(two.PathOfCommand(130), "/y");
}

TEST(RecentFiles, StoreAndPurge) {
    Store store;
    RecentFiles recent;
    recent.Add("/one.cas");
    recent.Add("/two.cas");
    {
        QSettings s = store.Open();
        recent.Save(s);
    }
    QSettings s = store.Open();
    RecentFiles read;
    read.Load(s);
    EXPECT_EQ(read.paths(), recent.paths());
    read.Purge(s);
    EXPECT_EQ(read.count(), 0);
    RecentFiles after;
    after.Load(s);
    EXPECT_EQ(after.count(), 0);
}

TEST(ShortenPath, MenuTexts) {
    std::string p36 = "/music/tapes/archive/1998/summer.cas";
    ASSERT_EQ(p36.size(), 36u);
    EXPECT_EQ(ShortenPath(p36, 37), p36);
    EXPECT_EQ(ShortenPath("/Music/Tapes/Archive/1998/summer.cas", 37), "/Music/Tapes/Archive/1998/summer.cas");
    // Leaving out 1998 alone gives 37 characters, which is not shorter than 37.
    EXPECT_EQ(ShortenPath("/Music/Tapes/Archive/1998/summer01.cas", 37), "/Music/Tapes/.../1998/summer01.cas");
    EXPECT_EQ(ShortenPath("/home/someone/Music/Cassettes/2026/the-long-corridor.cas", 37),
              "/home/.../the-long-corridor.cas");
    EXPECT_EQ(ShortenPath("/very-long-folder-name-number-one/an-extremely-long-file-name.cas", 37),
              "/.../an-extremely-long-file-name.cas");
    EXPECT_EQ(ShortenPath("an-extremely-long-file-name-without-folders.cas", 37),
              "an-extremely-long-file-name-with.cas");
    EXPECT_EQ(ShortenPath(std::string(50, 'n') + ".cassette", 37), std::string(27, 'n') + ".cassette");
    EXPECT_EQ(ShortenPath(std::string(50, 'n') + "." + std::string(40, 'e'), 37), std::string(36, 'n'));
}

TEST(Settings, FileTypeSlotsMovedUpLeaveNoCopiesAndDuplicatesAreDropped) {
    Store store;
    Settings settings = DefaultSettings({"/opt/reelcard", "/home/me"});
    settings.fileTypes[0] = {".cas", "Cassette Files"};
    settings.fileTypes[1] = {".tape", "Tape Files"};
    {
        QSettings s = store.Open();
        SaveSettings(s, settings);
    }
    // The second slot moves up; the first is cleared.
    settings.fileTypes[0] = settings.fileTypes[1];
    settings.fileTypes[1] = {};
    {
        QSettings s = store.Open();
        SaveSettings(s, settings);
    }
    QSettings s = store.Open();
    Settings read = LoadSettings(s, {"/opt/reelcard", "/home/me"}, nullptr);
    EXPECT_EQ(read.fileTypes[0].extension, ".tape");
    EXPECT_TRUE(read.fileTypes[1].extension.empty());

    // An extension a damaged settings file names twice is read once.
    s.setValue("Options/FTy3", ".TAPE");
    s.setValue("Options/FDs3", "Again");
    read = LoadSettings(s, {"/opt/reelcard", "/home/me"}, nullptr);
    EXPECT_EQ(read.fileTypes[0].extension, ".tape");
    EXPECT_TRUE(read.fileTypes[3].extension.empty());
}

TEST(ShortenPath, NamesAreNeverCutInsideACharacter) {
    // Each "é" is two bytes after a one-byte letter, so that a cut by
    // bytes alone would fall inside one; it must fall between characters.
    std::string name = "a";
    for (int i = 0; i < 30; ++i) name += "\xC3\xA9";
    const std::string shortened = ShortenPath(name + ".cas", 37);
    EXPECT_LE(shortened.size(), 37u);
    EXPECT_TRUE(QString::fromUtf8(shortened.c_str()).toUtf8().toStdString() == shortened);
}

}  // namespace
