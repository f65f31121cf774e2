// Register File Types: the table and the associations it writes, in
// temporary desktop folders.
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QApplication>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "platform/commands.h"
#include "app_test_support.h"
#include "dialogs/register_types_dialog.h"
#include "platform/strings.h"

namespace {

// Points the desktop folders of the whole program at a temporary folder.
class RegisterTypes : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureApplication();
        saved_ = {qgetenv("XDG_DATA_HOME"), qgetenv("XDG_CONFIG_HOME")};
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(dir_.Path("data")));
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(dir_.Path("config")));
        places_ = FileTypePlaces::Current();
    }
    void TearDown() override {
        for (auto [name, value] : {std::pair{"XDG_DATA_HOME", saved_.first}, {"XDG_CONFIG_HOME", saved_.second}}) {
            if (value.isNull()) qunsetenv(name); else qputenv(name, value);
        }
    }

    void Type(RegisterTypesDialog& d, int row, const QString& ext, const QString& description) {
        d.extensionField(row)->setText(ext);
        d.descriptionField(row)->setText(description);
    }
    void Ok(RegisterTypesDialog& d) {
        QTest::mouseClick(d.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok), Qt::LeftButton);
    }

    TempFolder dir_;
    std::pair<QByteArray, QByteArray> saved_;
    FileTypePlaces places_;
    ScriptedPrompter prompter_;
};

TEST_F(RegisterTypes, NewRowsAreAssociatedAndATakenOverTypeLeavesTheTable) {
    ASSERT_EQ(places_.dataHome, dir_.Path("data"));
    FileTypeTable table;
    table[0] = {".gone", "Never associated"};
    {
        RegisterTypesDialog d(nullptr, table, prompter_, places_, "/opt/reelcard/reelcard", QImage());
        EXPECT_TRUE(table[0].extension.empty());  // dropped on opening
        EXPECT_TRUE(d.extensionField(0)->text().isEmpty());
        Type(d, 0, "cas", "Cassette Files");
        Ok(d);
        EXPECT_EQ(prompter_.LastText(), LoadString(IDS_EXT_NEEDS_PERIOD));
        EXPECT_TRUE(d.isVisible() || d.result() != QDialog::Accepted);
        Type(d, 0, ".cas", "Cassette Files");
        Type(d, 1, ".tap", "Tapes");
        Ok(d);
        EXPECT_EQ(d.result(), QDialog::Accepted);
    }
    EXPECT_EQ(table[1].extension, ".tap");
    EXPECT_TRUE(IsAssociatedWithProgram(".cas"));
    EXPECT_TRUE(IsAssociatedWithProgram(".tap"));
    EXPECT_TRUE(QFile::exists(QString::fromStdString(places_.DesktopEntryPath())));

    // Another program takes .cas; the table opens with .tap moved up, and
    // typing .cas again asks before taking it back.  No keeps it listed.
    QFile list(QString::fromStdString(places_.MimeAppsPath()));
    ASSERT_TRUE(list.open(QIODevice::ReadOnly));
    QByteArray text = list.readAll().replace("application/x-reelcard-cas=reelcard.desktop;",
                                             "application/x-reelcard-cas=other.desktop;");
    list.close();
    ASSERT_TRUE(list.open(QIODevice::WriteOnly | QIODevice::Truncate));
    list.write(text);
    list.close();

    RegisterTypesDialog d(nullptr, table, prompter_, places_, "/opt/reelcard/reelcard", QImage());
    EXPECT_EQ(d.extensionField(0)->text(), ".tap");
    EXPECT_TRUE(d.extensionField(1)->text().isEmpty());
    d.extensionField(0)->clear();
    d.descriptionField(0)->clear();
    Ok(d);
    EXPECT_EQ(prompter_.LastText(), LoadString(IDS_EXT_NO_BLANKING));
    Type(d, 0, ".tap", "Tapes");
    Type(d, 1, ".cas", "Cassette Files");
    prompter_.answers = {MessageResult::No};
    Ok(d);
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_EQ(prompter_.LastText(),
              "File type '.cas' is currently registered as a 'other'.  Do you want Reelcard to change this?  "
              "Note that Reelcard cannot undo the change.");
    EXPECT_EQ(table[1].extension, ".cas");
    EXPECT_FALSE(IsAssociatedWithProgram(".cas"));
}

TEST_F(RegisterTypes, TheFileMenuCommandIsEnabledAndSettingsAskTheDesktop) {
    AppHarness app;
    ASSERT_TRUE(app.Start());
    EXPECT_TRUE(app.window().action(kCmdRegisterFileTypes)->isEnabled());
    // Settings without file types offer the built-in ones the program has.
    ASSERT_TRUE(AssociateExtensions({".dat"}, places_));
    {
        QSettings store(QString::fromStdString(app.SettingsPath()), QSettings::IniFormat);
        store.setValue("Options/Dff", "default.fmt");
        store.setValue("Options/Fid", QString::fromStdString(app.ProgramFolder()));
    }
    MainWindow& w = app.MakeWindow();
    ASSERT_TRUE(w.Start({}));
    EXPECT_EQ(w.settings().fileTypes[0].extension, ".dat");
    EXPECT_TRUE(w.settings().fileTypes[1].extension.empty());
}

TEST_F(RegisterTypes, ARegisteredTypeNeitherTakesOverOpenAndSaveAsNorLosesItsDescription) {
    AppHarness app;
    ASSERT_TRUE(app.Start());
    MainWindow& w = app.window();
    w.settings().linerFilterIndex = 3;  // "All Files", chosen earlier
    QTimer::singleShot(0, [this] {
        auto* d = qobject_cast<RegisterTypesDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(d, nullptr);
        Type(*d, 0, ".tape", "Tape Liners");
        Ok(*d);
    });
    ASSERT_EQ(w.Dispatch(kCmdRegisterFileTypes), 1);
    ASSERT_TRUE(IsAssociatedWithProgram(".tape"));
    QFile package(QString::fromStdString(places_.PackagePath()));
    ASSERT_TRUE(package.open(QIODevice::ReadOnly));
    EXPECT_TRUE(package.readAll().contains("<comment>Tape Liners</comment>"));

    EXPECT_EQ(w.settings().linerFilterIndex, 4);  // still "All Files"
    w.settings().linerFilterIndex = 0;
    w.Dispatch(kCmdSaveAs);
    ASSERT_EQ(app.dialogs.saveRequests.size(), 1u);
    EXPECT_EQ(app.dialogs.saveRequests[0].filter.pairs.at(0).first, "Cassette Files (*.cas)");
    EXPECT_EQ(app.dialogs.saveRequests[0].filter.defaultExtension, "cas");
}

}  // namespace
