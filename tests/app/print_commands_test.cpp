#include "app/print_commands.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QRadioButton>
#include <QPrintDialog>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "app/commands.h"
#include "app/print_dialogs.h"
#include "app_test_support.h"
#include "document/measurement.h"

namespace {

class ScriptedPrintDialogs : public PrintDialogs {
public:
    bool Print(QWidget*, QPrinter&, const std::function<void(QWidget*)>& chooseFiles) override {
        ++printDialogs;
        if (pressFiles) chooseFiles(nullptr);
        return printAnswer;
    }
    std::optional<PrintFilesChoice> ChooseFiles(QWidget*, const PrintFilesRequest& request) override {
        filesRequests.push_back(request);
        if (files.isEmpty()) return std::nullopt;
        return PrintFilesChoice{files, 1};
    }
    bool PageSetup(PageSetupDialog& dialog) override { return pageSetup(dialog); }

    bool printAnswer = true;
    bool pressFiles = false;
    QStringList files;
    int printDialogs = 0;
    std::vector<PrintFilesRequest> filesRequests;
    std::function<bool(PageSetupDialog&)> pageSetup = [](PageSetupDialog&) { return false; };
};

int PdfPages(const std::string& pdf) {
    QProcess process;
    process.start("pdfinfo", {QString::fromStdString(pdf)});
    process.waitForFinished(30000);
    const QString info = process.readAllStandardOutput();
    for (const QString& line : info.split('\n')) {
        if (line.startsWith("Pages:")) return line.mid(6).trimmed().toInt();
    }
    return 0;
}

class PrintingTest : public ::testing::Test {
protected:
    void SetUp() override { EnsureApplication(); }

    // The window started (on `commandLine`), printing into out.pdf.
    void Start(const QString& commandLine = {}) {
        // The samples' picture, for the copies of them made in the folder.
        QFile::copy(REELCARD_BIN_DIR "/samples/cassette.bmp", QString::fromStdString(harness.Path("cassette.bmp")));
        ASSERT_TRUE(harness.Start(commandLine));
        printing = std::make_unique<Printing>(harness.window(), dialogs, harness.prompter);
        printing->Install();
        printing->printer().setOutputFormat(QPrinter::PdfFormat);
        printing->printer().setOutputFileName(QString::fromStdString(Pdf()));
    }
    std::string Pdf() const { return harness.Path("out.pdf"); }
    MainWindow& window() { return harness.window(); }

    AppHarness harness;
    ScriptedPrintDialogs dialogs;
    std::unique_ptr<Printing> printing;
};

TEST_F(PrintingTest, CommandsAreEnabledAndPrintTheOpenLiner) {
    Start(QString::fromStdString(harness.CopySample("mix.cas")));
    EXPECT_TRUE(window().IsCommandEnabled(kCmdPrint));
    EXPECT_TRUE(window().IsCommandEnabled(kCmdPageSetup));
    window().settings().copies = 2;
    EXPECT_EQ(window().Dispatch(kCmdPrint), 1);
    EXPECT_EQ(PdfPages(Pdf()), 2);
    EXPECT_EQ(printing->printer().docName(), "mix.cas");
    EXPECT_EQ(printing->printer().copyCount(), 1);  // the copies were ours
    EXPECT_EQ(window().settings().copies, 2);
    EXPECT_TRUE(harness.prompter.shown.empty()) << harness.prompter.LastText();
}

TEST_F(PrintingTest, BatchAsksToSaveFirstAndRecreatesTheUntitledLinerFromItsFormat) {
    Start();
    const std::string a = harness.CopySample("a.cas"), b = harness.CopySample("b.cas", "long-album.cas");
    window().liner().title = {1, "Unsaved words"};
    window().SetModified(true);
    dialogs.pressFiles = true;
    dialogs.files = {QString::fromStdString(a), QString::fromStdString(b)};
    harness.prompter.answers = {MessageResult::No};

    window().Dispatch(kCmdPrint);
    ASSERT_EQ(harness.prompter.shown.size(), 1u);
    EXPECT_NE(harness.prompter.shown[0].text.find("(untitled)"), std::string::npos);
    EXPECT_EQ(dialogs.filesRequests.at(0).caption, "Print");
    EXPECT_EQ(PdfPages(Pdf()), 2);
    EXPECT_EQ(printing->printer().docName(), "Reelcard");
    // Back to a new Liner of the format: no title, nothing to save.
    EXPECT_TRUE(window().liner().title.text.empty());
    EXPECT_TRUE(window().liner().songsA.text.empty());
    EXPECT_FALSE(window().modified());
    EXPECT_TRUE(window().currentTitle().isEmpty());
    EXPECT_EQ(window().settings().printFolder, FolderOfChosenFile(QString::fromStdString(a)));
    EXPECT_TRUE(printing->batchFiles().isEmpty());
}

TEST_F(PrintingTest, BatchBringsBackTheOpenLinerFromItsFile) {
    const QString open = QString::fromStdString(harness.CopySample("open.cas"));
    Start(open);
    const Liner before = window().liner();
    dialogs.pressFiles = true;
    dialogs.files = {QString::fromStdString(harness.CopySample("other.cas", "long-album.cas"))};
    window().Dispatch(kCmdPrint);
    EXPECT_EQ(PdfPages(Pdf()), 1);
    EXPECT_EQ(window().liner().title, before.title);
    EXPECT_EQ(window().liner().songsB, before.songsB);
    EXPECT_EQ(window().currentPath(), open);
    EXPECT_EQ(window().currentTitle(), "open.cas");
}

TEST_F(PrintingTest, CancelledSavePromptOrDialogPrintsNothing) {
    Start();
    window().liner().title = {1, "Unsaved words"};
    window().SetModified(true);
    dialogs.pressFiles = true;
    dialogs.files = {QString::fromStdString(harness.CopySample("a.cas"))};
    harness.prompter.answers = {MessageResult::Cancel};
    window().Dispatch(kCmdPrint);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(Pdf())));
    EXPECT_EQ(window().liner().title.text, "Unsaved words");
    EXPECT_TRUE(window().modified());

    // Files chosen, then the print dialog cancelled: no job, the list let go.
    dialogs.printAnswer = false;
    window().Dispatch(kCmdPrint);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(Pdf())));
    EXPECT_TRUE(printing->batchFiles().isEmpty());
    EXPECT_EQ(harness.prompter.shown.size(), 1u);
}

TEST_F(PrintingTest, CancelStopsAfterTheLinerBeingDrawnAndGivesTheWindowBack) {
    Start(QString::fromStdString(harness.CopySample("mix.cas")));
    window().settings().copies = 3;
    bool disabledWhilePrinting = false, enabledAtOnce = false;
    QString documentLine, copyLine;
    QTimer::singleShot(0, [&] {
        auto* dialog = window().findChild<QDialog*>("PrintingDialog");
        ASSERT_NE(dialog, nullptr);
        disabledWhilePrinting = !window().isEnabled();
        documentLine = dialog->findChild<QLabel*>("DocumentLine")->text();
        copyLine = dialog->findChild<QLabel*>("CopyLine")->text();
        QTest::mouseClick(dialog->findChild<QPushButton*>("CancelButton"), Qt::LeftButton);
        enabledAtOnce = window().isEnabled();
    });
    window().Dispatch(kCmdPrint);
    EXPECT_TRUE(disabledWhilePrinting);
    EXPECT_TRUE(enabledAtOnce);
    EXPECT_EQ(documentLine, "mix.cas");
    EXPECT_EQ(copyLine, "Copy 1 of 3");
    EXPECT_TRUE(printing->lastResult().cancelled);
    EXPECT_EQ(printing->lastResult().sheets, 1);
    EXPECT_LE(PdfPages(Pdf()), 1);
    EXPECT_TRUE(window().isEnabled());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(window().findChild<QDialog*>("PrintingDialog"), nullptr);
}

TEST_F(PrintingTest, PageSetupMarginsInTheLeftMarginsSystemAndTwoUp) {
    Start();
    PrintSettings& print = window().settings().print;
    print.marginLeft = *ParseMeasurement("1.5cm", false, kUnitInches);
    print.marginTop = *ParseMeasurement("0.25in", false, kUnitInches);
    const PrintSettings before = print;

    // Ticked, then Cancel: nothing changes.
    dialogs.pageSetup = [](PageSetupDialog& d) {
        QTest::mouseClick(d.twoUpBox(), Qt::LeftButton);
        d.margin(1)->setValue(20);
        return false;
    };
    window().Dispatch(kCmdPageSetup);
    EXPECT_EQ(print.marginRight, before.marginRight);
    EXPECT_FALSE(print.print2Up);

    double shownLeft = 0, shownTop = 0;
    dialogs.pageSetup = [&](PageSetupDialog& d) {
        EXPECT_TRUE(d.metric());
        shownLeft = d.margin(0)->value();
        shownTop = d.margin(2)->value();
        QTest::mouseClick(d.twoUpBox(), Qt::LeftButton);
        d.margin(3)->selectAll();
        QTest::keyClicks(d.margin(3), "10");
        QTest::mouseClick(d.landscapeButton(), Qt::LeftButton);
        return true;
    };
    window().Dispatch(kCmdPageSetup);
    EXPECT_NEAR(shownLeft, 15.0, 0.011);  // millimetres, from the twips held
    EXPECT_NEAR(shownTop, 6.35, 0.011);
    EXPECT_TRUE(print.print2Up);
    EXPECT_EQ(print.marginLeft, before.marginLeft);  // untouched fields keep their form
    EXPECT_EQ(print.marginTop, before.marginTop);
    EXPECT_EQ(print.marginBottom.twips, 567);
    EXPECT_EQ(printing->printer().pageLayout().orientation(), QPageLayout::Landscape);
}

TEST_F(PrintingTest, ThePrintDialogGetsAFilesButton) {
    QPrinter printer;
    printer.setOutputFormat(QPrinter::PdfFormat);
    QPrintDialog dialog(&printer);
    QWidget* owner = nullptr;
    QPushButton* files = AddFilesButton(dialog, [&](QWidget* w) { owner = w; });
    ASSERT_NE(files, nullptr);
    EXPECT_EQ(files->text(), "&Files...");
    QTest::mouseClick(files, Qt::LeftButton);
    EXPECT_EQ(owner, &dialog);
}

}  // namespace
