// The font chooser, the merge question and the file dialogs' filters and preview.
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFontComboBox>
#include <QFontDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include "dialogs/file_dialogs.h"
#include "app/message_box_prompter.h"
#include "app_test_support.h"
#include "dialogs/font_dialog.h"
#include "document/liner_file.h"
#include "platform/strings.h"

namespace {

FontEntry ArialEntry() {
    FontEntry e;
    e.logFont.height = 240;
    e.logFont.weight = 400;
    e.logFont.escapement = 450;
    e.logFont.SetFaceName("Arial");
    e.color = 0x800000;  // navy
    return e;
}

TEST(Rotation, ReadAsAnUnsignedNumberModulo360) {
    EXPECT_EQ(ParseRotation("0"), 0);
    EXPECT_EQ(ParseRotation("90"), 90);
    EXPECT_EQ(ParseRotation("450"), 90);
    EXPECT_EQ(ParseRotation("360"), 0);
    EXPECT_EQ(ParseRotation("4294967295"), static_cast<int>(4294967295ull % 360));
    EXPECT_EQ(ParseRotation("-5"), std::nullopt);
    EXPECT_EQ(ParseRotation("abc"), std::nullopt);
    EXPECT_EQ(ParseRotation(""), std::nullopt);
    EXPECT_EQ(ParseRotation("4294967296"), std::nullopt);
}

TEST(FontChooser, StartsFromTheEntry) {
    EnsureApplication();
    ScriptedPrompter prompter;
    FontChooserDialog dialog(ArialEntry(), prompter);
    EXPECT_EQ(dialog.rotationField()->text(), "45");
    EXPECT_DOUBLE_EQ(dialog.fontPart()->currentFont().pointSizeF(), 12.0);
    EXPECT_EQ(dialog.colorField()->currentText(), "Navy");
    EXPECT_EQ(PointSizeOfHeight(200), 10.0);
}

TEST(FontChooser, OkStoresSizeRotationAndColour) {
    EnsureApplication();
    ScriptedPrompter prompter;
    FontChooserDialog dialog(ArialEntry(), prompter);
    dialog.show();
    QFont font = dialog.fontPart()->currentFont();
    font.setPointSize(14);
    font.setItalic(true);
    dialog.fontPart()->setCurrentFont(font);
    dialog.rotationField()->setText("450");
    dialog.colorField()->setCurrentIndex(dialog.colorField()->findText("Red"));
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    const FontEntry& r = dialog.chosen();
    EXPECT_EQ(r.logFont.escapement, 900);
    EXPECT_EQ(r.logFont.height, 280);  // tenths of a point times two
    EXPECT_EQ(r.logFont.italic, 1);
    EXPECT_EQ(r.color, 0x0000FFu);
    EXPECT_FALSE(r.logFont.FaceName().empty());
    EXPECT_TRUE(prompter.shown.empty());
}

TEST(FontChooser, OnlyWhatTheUserChangesGoesBackIntoTheEntry) {
    EnsureApplication();
    ScriptedPrompter prompter;
    // A liner made elsewhere: a face that is not installed, a half-point size.
    FontEntry start = ArialEntry();
    start.logFont.SetFaceName("Gill Sans Nowhere");
    start.logFont.height = 190;
    start.logFont.weight = 600;
    {
        FontChooserDialog dialog(start, prompter);
        EXPECT_DOUBLE_EQ(PointSizeOfHeight(190), 9.5);
        EXPECT_DOUBLE_EQ(dialog.fontPart()->currentFont().pointSizeF(), 9.5);
        dialog.show();
        dialog.rotationField()->setText("90");
        // Enter in the rotation field is OK.
        QTest::keyClick(dialog.rotationField(), Qt::Key_Return);
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        const LogFont& lf = dialog.chosen().logFont;
        EXPECT_EQ(lf.FaceName(), "Gill Sans Nowhere");
        EXPECT_EQ(lf.height, 190);
        EXPECT_EQ(lf.weight, 600);
        EXPECT_EQ(lf.escapement, 900);
    }
    // A size the user picks is stored, halves included.
    FontChooserDialog dialog(start, prompter);
    dialog.show();
    QFont font = dialog.fontPart()->currentFont();
    font.setPointSizeF(11.5);
    dialog.fontPart()->setCurrentFont(font);
    dialog.accept();
    EXPECT_EQ(dialog.chosen().logFont.height, 230);
    EXPECT_EQ(dialog.chosen().logFont.FaceName(), "Gill Sans Nowhere");
}

TEST(FontChooser, ScriptShowsAndSetsTheCharacterSet) {
    EnsureApplication();
    ScriptedPrompter prompter;
    FontEntry start = ArialEntry();
    start.logFont.charSet = 1;  // the default set: shown as Western, kept unless changed
    {
        FontChooserDialog dialog(start, prompter);
        QComboBox* script = dialog.fontPart()->scriptField();
        EXPECT_EQ(script->currentText(), "Western");
        EXPECT_EQ(script->count(), 10);
        dialog.accept();
        EXPECT_EQ(dialog.chosen().logFont.charSet, 1);
    }
    start.logFont.charSet = 204;
    FontChooserDialog dialog(start, prompter);
    QComboBox* script = dialog.fontPart()->scriptField();
    EXPECT_EQ(script->currentText(), "Cyrillic");
    script->setCurrentIndex(script->findText("Central European"));
    EXPECT_TRUE(dialog.findChild<QLabel*>("Sample")->text().contains(QString::fromUtf8("\u00C1")));
    dialog.accept();
    EXPECT_EQ(dialog.chosen().logFont.charSet, 238);
    // A set the list does not offer is shown while it is the entry's.
    start.logFont.charSet = 2;
    FontChooserDialog symbol(start, prompter);
    EXPECT_EQ(symbol.fontPart()->scriptField()->currentText(), "Symbol");
}

TEST(FontChooser, ANegativeRotationKeepsTheDialogOpen) {
    EnsureApplication();
    ScriptedPrompter prompter;
    FontChooserDialog dialog(ArialEntry(), prompter);
    dialog.show();
    dialog.rotationField()->setText("-90");
    auto* buttons = dialog.findChild<QDialogButtonBox*>("Buttons");
    ASSERT_NE(buttons, nullptr);
    QTest::mouseClick(buttons->button(QDialogButtonBox::Ok), Qt::LeftButton);
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].text, "Degrees of rotation may not be less than zero");
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.chosen().logFont.escapement, 450);
}

TEST(FontChooser, AStoredRotationShowsAsTheViewTurnsItAndIsKeptUntouched) {
    EnsureApplication();
    ScriptedPrompter prompter;
    for (const auto& [escapement, shown] : {std::pair{-900, "270"}, std::pair{4500, "90"}}) {
        FontEntry start = ArialEntry();
        start.logFont.escapement = escapement;
        FontChooserDialog dialog(start, prompter);
        dialog.show();
        EXPECT_EQ(dialog.rotationField()->text(), shown);
        EXPECT_EQ(dialog.rotationField()->text().toInt(), start.logFont.RotationDegrees());
        dialog.accept();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(dialog.chosen().logFont.escapement, escapement);
    }
    EXPECT_TRUE(prompter.shown.empty());
}

TEST(FontChooser, TypingAFamilyKeepsTheNearestWeightAndSlant) {
    EnsureApplication();
    ScriptedPrompter prompter;
    FontEntry start = ArialEntry();
    start.logFont.SetFaceName("DejaVu Sans");
    start.logFont.weight = 700;
    FontChooserDialog dialog(start, prompter);
    dialog.show();
    auto* family = dialog.fontPart()->findChild<QFontComboBox*>("FontFamily");
    auto* style = dialog.fontPart()->findChild<QComboBox*>("FontStyle");
    ASSERT_EQ(style->currentText(), "Bold");
    // A family without a style of that name: its heaviest upright one.
    family->lineEdit()->selectAll();
    QTest::keyClicks(family->lineEdit(), "URW Gothic");
    QTest::keyClick(family->lineEdit(), Qt::Key_Return);
    ASSERT_EQ(family->currentFont().family(), "URW Gothic");
    EXPECT_GE(dialog.fontPart()->currentFont().weight(), QFont::DemiBold);
    EXPECT_FALSE(dialog.fontPart()->currentFont().italic());
    // And back: Bold again, not the first style of the list.
    family->lineEdit()->selectAll();
    QTest::keyClicks(family->lineEdit(), "DejaVu Serif");
    QTest::keyClick(family->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(style->currentText(), "Bold");
}

TEST(MergeQuestion, ButtonsGiveTheirChoice) {
    EnsureApplication();
    for (const char* name : {"All", "Text", "Cancel"}) {
        MergeDialog dialog("old.cas");
        dialog.show();
        EXPECT_EQ(dialog.windowTitle(), "old.cas");
        auto* button = dialog.findChild<QPushButton*>(name);
        ASSERT_NE(button, nullptr);
        QTest::mouseClick(button, Qt::LeftButton);
        const MergeChoice expected = std::string(name) == "All"    ? MergeChoice::All
                                     : std::string(name) == "Text" ? MergeChoice::Text
                                                                   : MergeChoice::Cancel;
        EXPECT_EQ(dialog.choice(), expected) << name;
        EXPECT_FALSE(dialog.isVisible());
    }
    MergeDialog dialog("x");
    EXPECT_EQ(dialog.findChild<QPushButton*>("All")->text(), "&All");
    EXPECT_TRUE(dialog.findChild<QPushButton*>("All")->isDefault());
}

std::array<FileTypeSlot, kFileTypeSlots> Types(std::initializer_list<FileTypeSlot> list) {
    std::array<FileTypeSlot, kFileTypeSlots> out{};
    size_t i = 0;
    for (const auto& s : list) out[i++] = s;
    return out;
}

TEST(FileFilters, LinerFilterHasOneGroupPerDescription) {
    const auto types = Types({{".cas", "Cassette Files"}, {".dat", "DAT Files"}});
    FileFilter f = BuildFileFilter(IDS_FILTER_LINER_FILES, 1, types);
    ASSERT_EQ(f.pairs.size(), 3u);
    EXPECT_EQ(f.pairs[0], (std::pair<std::string, std::string>{"Cassette Files (*.cas)", "*.cas"}));
    EXPECT_EQ(f.pairs[1], (std::pair<std::string, std::string>{"DAT Files (*.dat)", "*.dat"}));
    EXPECT_EQ(f.pairs[2], (std::pair<std::string, std::string>{"All Files (*.*)", "*.*"}));
    EXPECT_EQ(f.defaultExtension, "cas");
    EXPECT_EQ(BuildFileFilter(IDS_FILTER_LINER_FILES, 3, types).defaultExtension, "");
    // Before any choice the first filter holds, so "mytape" is saved as mytape.cas.
    EXPECT_EQ(BuildFileFilter(IDS_FILTER_LINER_FILES, 0, types).defaultExtension, "cas");

    // Two extensions sharing a description make one group; empty slots are skipped.
    const auto shared = Types({{".cas", "Tapes"}, {}, {".tap", "Tapes"}, {".dat", "DAT Files"}});
    f = BuildFileFilter(IDS_FILTER_LINER_FILES, 2, shared);
    ASSERT_EQ(f.pairs.size(), 3u);
    EXPECT_EQ(f.pairs[0], (std::pair<std::string, std::string>{"Tapes (*.cas;*.tap)", "*.cas;*.tap"}));
    EXPECT_EQ(f.defaultExtension, "dat");
}

TEST(FileFilters, TheProgramsOwnTypesAreAlwaysOffered) {
    // A first start: no type registered with the desktop.
    FileFilter f = BuildFileFilter(IDS_FILTER_LINER_FILES, 0, std::array<FileTypeSlot, kFileTypeSlots>{});
    ASSERT_EQ(f.pairs.size(), 3u);
    EXPECT_EQ(f.pairs[0], (std::pair<std::string, std::string>{"Cassette Files (*.cas)", "*.cas"}));
    EXPECT_EQ(f.pairs[1], (std::pair<std::string, std::string>{"DAT Files (*.dat)", "*.dat"}));
    EXPECT_EQ(f.pairs[2].second, "*.*");
    EXPECT_EQ(f.defaultExtension, "cas");
    // The program's own types stay first, a registered type after them; a
    // built-in one registered (in any case) is not repeated.
    f = BuildFileFilter(IDS_FILTER_LINER_FILES, 0, Types({{".tape", "Tape Files"}, {".DAT", "Digital Tapes"}}));
    ASSERT_EQ(f.pairs.size(), 4u);
    EXPECT_EQ(f.pairs[0].first, "Cassette Files (*.cas)");
    EXPECT_EQ(f.pairs[1].first, "Digital Tapes (*.DAT)");
    EXPECT_EQ(f.pairs[2].first, "Tape Files (*.tape)");
    EXPECT_EQ(f.defaultExtension, "cas");
    // The format dialogs offer .fmt first, also before any choice.
    EXPECT_EQ(BuildFileFilter(IDS_FILTER_FORMAT_FILES, 0, {}).defaultExtension, "fmt");
}

TEST(FileFilters, FormatFilterAndQtNames) {
    const FileFilter f = BuildFileFilter(IDS_FILTER_FORMAT_FILES, 1, Types({{".cas", "Cassette Files"}}));
    ASSERT_EQ(f.pairs.size(), 2u);
    EXPECT_EQ(f.pairs[0].second, "*.fmt");
    EXPECT_EQ(f.defaultExtension, "fmt");
    EXPECT_EQ(QtNameFilter("All Files (*.*)", "*.*"), "All Files (*.*) (*)");
    EXPECT_EQ(QtNameFilter("Tapes (*.cas;*.tap)", "*.cas;*.tap"), "Tapes (*.cas;*.tap) (*.cas *.tap)");
}

TEST(FileDialogsHelpers, TitlePreviewAndRememberedFolder) {
    EnsureApplication();
    AppHarness app;
    const std::string liner = app.CopySample("preview.cas");
    const QString text = TitlePreviewText(QString::fromStdString(liner));
    EXPECT_FALSE(text.isEmpty());
    EXPECT_FALSE(text.contains('\r'));
    EXPECT_FALSE(text.contains(QChar(1)));
    // The title in the code pages of the file's own fonts.
    Liner mixed;
    EnsureStandardFonts(mixed);
    FontEntry cyrillic = mixed.fonts[kFontTitle - 1];
    cyrillic.logFont.charSet = 204;
    mixed.fonts.push_back(cyrillic);
    mixed.title = {2, "\xA3\x01\x06\xCF\xF0\xE8\r\nB"};
    const auto bytes = SerializeLiner(mixed, FileKind::Liner);
    ASSERT_TRUE(bytes);
    WriteBytes(app.Path("mixed.cas"), *bytes);
    EXPECT_EQ(TitlePreviewText(QString::fromStdString(app.Path("mixed.cas"))),
              QString::fromUtf8("\u00A3\u041F\u0440\u0438\nB"));
    EXPECT_TRUE(TitlePreviewText(QString::fromStdString(app.Path(""))).isEmpty());
    WriteBytes(app.Path("plain.txt"), {'h', 'i'});
    EXPECT_TRUE(TitlePreviewText(QString::fromStdString(app.Path("plain.txt"))).isEmpty());
    EXPECT_TRUE(TitlePreviewText(QString::fromStdString(app.Path("none.cas"))).isEmpty());
    EXPECT_EQ(FolderOfChosenFile("/music/tapes/a.cas"), "/music/tapes");
    EXPECT_EQ(FolderOfChosenFile("/a.cas"), "/");
}

}  // namespace
