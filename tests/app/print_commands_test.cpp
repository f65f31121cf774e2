#include "app/print_commands.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QPrintDialog>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include <QHostAddress>
#include <QTcpServer>

#include "platform/commands.h"
#include "app/print_dialogs.h"
#include "app_test_support.h"
#include "document/liner_file.h"
#include "document/measurement.h"
#include "support/private_cups.h"

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
    std::optional<QString> ChoosePrinter(QWidget*, const QStringList& printers,
                                         const QString&) override {
        offeredPrinters = printers;
        return chosenPrinter;
    }

    bool printAnswer = true;
    bool pressFiles = false;
    QStringList files;
    int printDialogs = 0;
    std::vector<PrintFilesRequest> filesRequests;
    std::function<bool(PageSetupDialog&)> pageSetup = [](PageSetupDialog&) { return false; };
    QStringList offeredPrinters;
    std::optional<QString> chosenPrinter;
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

TEST_F(PrintingTest, ABatchPrintsFromItsOwnCopiesAndLeavesTheOpenLinerItsEditsAndHistory) {
    Start();
    const std::string a = harness.CopySample("a.cas"), b = harness.CopySample("b.cas", "long-album.cas");
    window().liner().title = {1, "Unsaved words"};
    window().document().Commit("Title Lines", LinerDocument::kTexts);
    const Liner edited = window().liner();
    dialogs.pressFiles = true;
    dialogs.files = {QString::fromStdString(a), QString::fromStdString(b)};

    window().Dispatch(kCmdPrint);
    EXPECT_TRUE(harness.prompter.shown.empty()) << harness.prompter.LastText();  // nothing to ask
    EXPECT_EQ(dialogs.filesRequests.at(0).caption, "Print");
    EXPECT_EQ(PdfPages(Pdf()), 2);
    EXPECT_EQ(printing->printer().docName(), "Reelcard");
    EXPECT_EQ(window().liner(), edited);
    EXPECT_TRUE(window().modified());
    EXPECT_TRUE(window().document().history().canUndo());
    EXPECT_TRUE(window().currentTitle().isEmpty());
    EXPECT_EQ(window().settings().printFolder, FolderOfChosenFile(QString::fromStdString(a)));
    EXPECT_TRUE(printing->batchFiles().isEmpty());
    window().Dispatch(kCmdUndo);
    EXPECT_TRUE(window().liner().title.text.empty());
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

TEST_F(PrintingTest, ACancelledDialogPrintsNothing) {
    Start();
    window().liner().title = {1, "Unsaved words"};
    window().SetModified(true);
    dialogs.pressFiles = true;
    dialogs.files = {QString::fromStdString(harness.CopySample("a.cas"))};
    // Files chosen, then the print dialog cancelled: no job, the list let go.
    dialogs.printAnswer = false;
    window().Dispatch(kCmdPrint);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(Pdf())));
    EXPECT_TRUE(printing->batchFiles().isEmpty());
    EXPECT_EQ(window().liner().title.text, "Unsaved words");
    EXPECT_TRUE(harness.prompter.shown.empty());
}

TEST_F(PrintingTest, APrintSystemThatNeverAnswersIsSaidSoBeforeTheDialogWaitsOnIt) {
    // A server that takes the connection and never answers, as a stopped
    // scheduler does.
    // It falls silent once the window is up (the printer was made while it
    // still answered).
    Start();
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    const QByteArray before = qgetenv("CUPS_SERVER");
    qputenv("CUPS_SERVER", QByteArray("127.0.0.1:") + QByteArray::number(silent.serverPort()));
    window().Dispatch(kCmdPrint);
    if (before.isEmpty()) qunsetenv("CUPS_SERVER"); else qputenv("CUPS_SERVER", before);
    EXPECT_EQ(dialogs.printDialogs, 0);
    EXPECT_EQ(harness.prompter.LastText(), "The print system does not answer");
    EXPECT_FALSE(QFile::exists(QString::fromStdString(Pdf())));
}

TEST_F(PrintingTest, CancelStopsAfterTheLinerBeingDrawnAndGivesTheWindowBack) {
    // A file name beyond ASCII shows as it is.
    Start(QString::fromStdString(harness.CopySample("Café mix.cas")));
    window().settings().copies = 3;
    bool disabledWhilePrinting = false, enabledAtOnce = false;
    QString documentLine, copyLine;
    // The print system is asked first, with the window drawn meanwhile:
    // wait for the progress window rather than take the first turn of events.
    std::function<void()> cancel = [&] {
        auto* dialog = window().findChild<QDialog*>("PrintingDialog");
        if (!dialog) {
            QTimer::singleShot(0, cancel);
            return;
        }
        disabledWhilePrinting = !window().isEnabled();
        documentLine = dialog->findChild<QLabel*>("DocumentLine")->text();
        copyLine = dialog->findChild<QLabel*>("CopyLine")->text();
        QTest::mouseClick(dialog->findChild<QPushButton*>("CancelButton"), Qt::LeftButton);
        enabledAtOnce = window().isEnabled();
    };
    QTimer::singleShot(0, cancel);
    window().Dispatch(kCmdPrint);
    EXPECT_TRUE(disabledWhilePrinting);
    EXPECT_TRUE(enabledAtOnce);
    EXPECT_EQ(documentLine, QString::fromUtf8("Café mix.cas"));
    EXPECT_EQ(copyLine, "Copy 1 of 3");
    EXPECT_TRUE(printing->lastResult().cancelled);
    EXPECT_EQ(printing->lastResult().sheets, 1);
    EXPECT_LE(PdfPages(Pdf()), 1);
    EXPECT_TRUE(window().isEnabled());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(window().findChild<QDialog*>("PrintingDialog"), nullptr);
}

TEST_F(PrintingTest, PageSetupMarginsInTheLinersUnitSystemAndTwoUp) {
    Start();
    // Margins an earlier liner left in centimetres; the open one is in inches.
    window().liner().defaultUnits = kUnitInches;
    dialogs.pageSetup = [](PageSetupDialog& d) {
        EXPECT_FALSE(d.metricMargins());
        bool titled = false;
        for (QGroupBox* group : d.findChildren<QGroupBox*>()) titled = titled || group->title() == "Margins (inches)";
        EXPECT_TRUE(titled);
        return false;
    };
    PrintSettings& print = window().settings().print;
    print.marginLeft = *ParseMeasurement("1.5cm", false, kUnitInches);
    window().Dispatch(kCmdPageSetup);
    window().liner().defaultUnits = kUnitCentimeters;
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
        EXPECT_TRUE(d.metricMargins());
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

TEST_F(PrintingTest, ThePrintDialogGetsAFilesButtonAndNoCollateBox) {
    QPrinter printer;
    printer.setOutputFormat(QPrinter::PdfFormat);
    QPrintDialog dialog(&printer);
    QWidget* owner = nullptr;
    QPushButton* files = AddFilesButton(dialog, [&](QWidget* w) { owner = w; });
    ASSERT_NE(files, nullptr);
    EXPECT_EQ(files->text(), "&Files...");
    QTest::mouseClick(files, Qt::LeftButton);
    EXPECT_EQ(owner, &dialog);

    // The program makes the copies, collated by liner: the box is off and
    // stays off when the dialog would turn it on again.
    QCheckBox* collate = DisableCollateBox(dialog);
    ASSERT_NE(collate, nullptr);
    EXPECT_FALSE(collate->isEnabled());
    collate->setEnabled(true);
    EXPECT_FALSE(collate->isEnabled());
}

TEST_F(PrintingTest, ThePrintDialogShowsTheChosenBatchWithAWayBackAndNamesTheDocumentItPrints) {
    Start(QString::fromStdString(harness.CopySample("first.cas")));
    window().Dispatch(kCmdPrint);  // the printer now carries first.cas's name
    ASSERT_TRUE(window().OpenLinerFile(QString::fromStdString(harness.CopySample("second.cas"))));
    // The real print dialog, its "Files..." pressed, looked at and cancelled.
    class RealPrint : public ScriptedPrintDialogs {
    public:
        bool Print(QWidget*, QPrinter& printer, const std::function<void(QWidget*)>& chooseFiles) override {
            docName = printer.docName();
            QPrintDialog dialog(&printer);
            QPushButton* filesButton = AddFilesButton(dialog, chooseFiles);
            QTest::mouseClick(filesButton, Qt::LeftButton);
            auto* label = dialog.findChild<QLabel*>("BatchFiles");
            auto* back = dialog.findChild<QPushButton*>("OpenLinerButton");
            if (!label || !back) return false;
            shown = label->isVisibleTo(&dialog) ? label->text() : QString();
            QTest::mouseClick(back, Qt::LeftButton);
            hiddenAfterBack = !label->isVisibleTo(&dialog) && !back->isVisibleTo(&dialog);
            return false;
        }
        QString docName, shown;
        bool hiddenAfterBack = false;
    } real;
    real.files = {"/x/a.cas", "/x/b.cas", "/x/c.cas", "/x/d.cas"};
    Printing printing(window(), real, harness.prompter);
    printing.PrintLiner();
    EXPECT_EQ(real.docName, "second.cas");
    EXPECT_TRUE(real.shown.contains("4 files")) << real.shown.toStdString();
    EXPECT_TRUE(real.shown.contains("a.cas, b.cas, c.cas")) << real.shown.toStdString();
    EXPECT_TRUE(real.hiddenAfterBack);
    EXPECT_TRUE(printing.batchFiles().isEmpty());
}

TEST_F(PrintingTest, TheFilesDialogNamesEachTypeOnce) {
    Start();
    // The real file dialog behind "&Files...", looked at and cancelled.
    class RealFiles : public ScriptedPrintDialogs {
    public:
        std::optional<PrintFilesChoice> ChooseFiles(QWidget* owner,
                                                    const PrintFilesRequest& request) override {
            QTimer::singleShot(0, [this] {
                auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
                ASSERT_NE(dialog, nullptr);
                auto* types = dialog->findChild<QComboBox*>("fileTypeCombo");
                ASSERT_NE(types, nullptr);
                for (int i = 0; i < types->count(); ++i) shown << types->itemText(i);
                dialog->reject();
            });
            return QtPrintDialogs().ChooseFiles(owner, request);
        }
        QStringList shown;
    } files;
    window().settings().fileTypes[0] = {".cas", "Cassette Files"};
    window().settings().fileTypes[1] = {".dat", "DAT Files"};
    files.pressFiles = true;
    files.printAnswer = false;
    Printing printing(window(), files, harness.prompter);
    printing.PrintLiner();
    ASSERT_FALSE(files.shown.isEmpty());
    EXPECT_TRUE(files.shown.contains("Cassette Files (*.cas)"))
        << files.shown.join(" | ").toStdString();
    for (const QString& type : files.shown) EXPECT_EQ(type.count('('), 1) << type.toStdString();
}

// ---- through a print scheduler ------------------------------------------------------------

// The real print dialog, answered by a script: it picks the queue and the
// copies, may press "&Files...", and presses Print.
class QueueDialogs : public ScriptedPrintDialogs {
public:
    bool Print(QWidget* owner, QPrinter& printer,
               const std::function<void(QWidget*)>& chooseFiles) override {
        ++printDialogs;
        QTimer::singleShot(0, [this] {
            auto* dialog = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            auto* collate = dialog->findChild<QCheckBox*>("collate");
            collateOff = collate && !collate->isEnabled();
            if (!queue.isEmpty()) {
                auto* printers = dialog->findChild<QComboBox*>("printers");
                ASSERT_NE(printers, nullptr);
                ASSERT_GE(printers->findText(queue), 0) << queue.toStdString();
                printers->setCurrentIndex(printers->findText(queue));
            }
            dialog->findChild<QSpinBox*>("copies")->setValue(copies);
            if (pressFiles)
                QTest::mouseClick(dialog->findChild<QPushButton*>("FilesButton"), Qt::LeftButton);
            QPushButton* print = nullptr;
            for (auto* box : dialog->findChildren<QDialogButtonBox*>()) {
                if (box->button(QDialogButtonBox::Ok)) print = box->button(QDialogButtonBox::Ok);
            }
            ASSERT_NE(print, nullptr);
            QTest::mouseClick(print, Qt::LeftButton);
        });
        return QtPrintDialogs().Print(owner, printer, chooseFiles);
    }

    QString queue;  // empty: the one the dialog shows
    int copies = 1;
    bool collateOff = false;
};

// Records whether the main window could be used when each message came.
class WatchingPrompter : public ScriptedPrompter {
public:
    MessageResult Show(const MessageOwner& owner, const MessageStyle& style,
                       const std::string& text) override {
        windowEnabled.push_back(window && window->isEnabled());
        return ScriptedPrompter::Show(owner, style, text);
    }
    QWidget* window = nullptr;
    std::vector<bool> windowEnabled;
};

class PrintingThroughCups : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureApplication();
        if (!cups.Start()) GTEST_SKIP() << "no private print scheduler: " << cups.why();
        ASSERT_TRUE(cups.AddPdfQueue("Office")) << cups.why();
        ASSERT_TRUE(cups.SetDefault("Office")) << cups.why();
        ASSERT_TRUE(cups.AddPdfQueue("Reelcard-PDF")) << cups.why();
    }

    // A liner `width` twips wide and 3.5 in high with the title `title`.
    std::string WriteLiner(const std::string& name, const std::string& title, int width = 4320) {
        Liner liner;
        EnsureStandardFonts(liner);
        liner.title = {1, title};
        liner.width.twips = static_cast<int16_t>(width);
        liner.flapHeight.twips = 1440;
        liner.titleHeight.twips = 720;
        liner.primaryHeight.twips = 2880;
        const std::string path = harness.Path(name);
        EXPECT_TRUE(WriteLinerFile(liner, path, prompter));
        return path;
    }

    void Start(const std::string& open) {
        ASSERT_TRUE(harness.Start(QString::fromStdString(open)));
        prompter.window = &harness.window();
        // Made after the scheduler started, so that its printer is ours.
        printing = std::make_unique<Printing>(harness.window(), dialogs, prompter);
        printing->Install();
    }

    // The pages of the one job the scheduler got since `before` jobs.
    std::vector<PdfPageInfo> OnlyNewJob(size_t before, const QString& queue) {
        EXPECT_TRUE(cups.WaitUntilIdle()) << cups.Log();
        const std::vector<PrivateCups::Job> jobs = cups.Jobs();
        EXPECT_EQ(jobs.size(), before + 1);
        if (jobs.size() != before + 1) return {};
        EXPECT_EQ(jobs.back().queue, queue);
        const QString pdf = cups.OutputOf(jobs.back().id);
        SnapshotPdfPage(pdf, 1, pdf + "-page1");
        return ReadPdfPages(pdf);
    }

    MainWindow& window() { return harness.window(); }

    PrivateCups cups;
    AppHarness harness;
    WatchingPrompter prompter;
    QueueDialogs dialogs;
    std::unique_ptr<Printing> printing;
};

constexpr double kNear = 1.6;  // points: a pixel at 72 dpi and a line's width

TEST_F(PrintingThroughCups, TheChosenQueueGetsCopiesThenTwoUpOnPageSetupsPaper) {
    Start(WriteLiner("mix.cas", "Mix"));
    dialogs.queue = "Reelcard-PDF";
    dialogs.copies = 2;
    window().Dispatch(kCmdPrint);
    EXPECT_TRUE(dialogs.collateOff);
    EXPECT_TRUE(prompter.shown.empty()) << prompter.LastText();
    std::vector<PdfPageInfo> pages = OnlyNewJob(0, "Reelcard-PDF");
    ASSERT_EQ(pages.size(), 2u);
    for (const PdfPageInfo& page : pages) {
        EXPECT_EQ(page.width, 595);
        EXPECT_EQ(page.height, 842);
        EXPECT_NEAR(page.left, 0, kNear);
        EXPECT_NEAR(page.top, 0, kNear);
        EXPECT_NEAR(page.right, 216, kNear);  // 3 by 3.5 inches
        EXPECT_NEAR(page.bottom, 252, kNear);
    }

    // Page Setup: another printer through "&Printer...", Letter, 2-up.
    dialogs.chosenPrinter = "Office";
    dialogs.pageSetup = [](PageSetupDialog& d) {
        QTest::mouseClick(d.printerButton(), Qt::LeftButton);
        d.paperBox()->setCurrentIndex(d.paperBox()->findText(QPageSize::name(QPageSize::Letter)));
        QTest::mouseClick(d.twoUpBox(), Qt::LeftButton);
        return true;
    };
    window().Dispatch(kCmdPageSetup);
    EXPECT_TRUE(dialogs.offeredPrinters.contains("Reelcard-PDF"));
    EXPECT_EQ(printing->printer().printerName(), "Office");

    dialogs.queue.clear();  // the dialog starts on Page Setup's printer
    dialogs.copies = 3;
    window().Dispatch(kCmdPrint);
    EXPECT_TRUE(prompter.shown.empty()) << prompter.LastText();
    pages = OnlyNewJob(1, "Office");
    ASSERT_EQ(pages.size(), 2u);  // two copies on the first sheet, one on the second
    EXPECT_EQ(pages[0].width, 612);
    EXPECT_EQ(pages[0].height, 792);
    EXPECT_NEAR(pages[0].right, 2 * 216 + 0.05, kNear);
    EXPECT_NEAR(pages[1].right, 216, kNear);
}

TEST_F(PrintingThroughCups, ABatchOfFilesIsOneJobAndTheOpenLinerComesBack) {
    const std::string open = WriteLiner("open.cas", "Open");
    Start(open);
    const Liner before = window().liner();
    dialogs.queue = "Reelcard-PDF";
    dialogs.pressFiles = true;
    dialogs.files = {QString::fromStdString(WriteLiner("a.cas", "A", 5760)),
                     QString::fromStdString(WriteLiner("b.cas", "B")),
                     QString::fromStdString(WriteLiner("c.cas", "C"))};
    window().Dispatch(kCmdPrint);
    EXPECT_TRUE(prompter.shown.empty()) << prompter.LastText();
    const std::vector<PdfPageInfo> pages = OnlyNewJob(0, "Reelcard-PDF");
    ASSERT_EQ(pages.size(), 3u);
    EXPECT_NEAR(pages[0].right, 288, kNear);  // a.cas is 4 inches wide
    EXPECT_NEAR(pages[1].right, 216, kNear);
    EXPECT_EQ(window().liner().title, before.title);
    EXPECT_EQ(window().currentPath(), QString::fromStdString(open));
}

TEST_F(PrintingThroughCups, AStoppedQueueAndAQueueRemovedDuringABatchPrintNothing) {
    const std::string open = WriteLiner("open.cas", "Open");
    Start(open);
    const Liner before = window().liner();

    ASSERT_TRUE(cups.StopQueue("Office")) << cups.why();
    dialogs.queue = "Office";
    window().Dispatch(kCmdPrint);
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.LastText(),
              "Unable to start print job\n\rGeneral error\n\rPrinter \"Office\" is stopped");
    EXPECT_EQ(prompter.shown[0].style.icon, MessageIcon::Stop);
    EXPECT_TRUE(window().isEnabled());
    EXPECT_EQ(window().liner().title, before.title);
    EXPECT_FALSE(window().modified());

    // The queue goes while the batch is printing.
    dialogs.queue = "Reelcard-PDF";
    dialogs.pressFiles = true;
    dialogs.files = {QString::fromStdString(WriteLiner("a.cas", "A")),
                     QString::fromStdString(WriteLiner("b.cas", "B"))};
    bool removed = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (removed || !window().findChild<QDialog*>("PrintingDialog")) return;
        removed = cups.RemoveQueue("Reelcard-PDF");
    });
    watch.start(0);
    window().Dispatch(kCmdPrint);
    watch.stop();
    EXPECT_TRUE(removed) << cups.why();
    ASSERT_EQ(prompter.shown.size(), 2u);
    EXPECT_EQ(
        prompter.LastText(),
        "Unable to end print job\n\rGeneral error\n\rPrinter \"Reelcard-PDF\" does not exist");
    EXPECT_TRUE(prompter.windowEnabled.back());  // the message's owner can be used
    EXPECT_TRUE(window().isEnabled());
    EXPECT_EQ(window().liner().title, before.title);
    EXPECT_EQ(window().currentPath(), QString::fromStdString(open));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(window().findChild<QDialog*>("PrintingDialog"), nullptr);

    EXPECT_TRUE(cups.WaitUntilIdle());
    EXPECT_TRUE(cups.Jobs().empty());
}

TEST_F(PrintingThroughCups, PrinterButtonWithoutPrintersSaysSo) {
    ASSERT_TRUE(cups.RemoveQueue("Office") && cups.RemoveQueue("Reelcard-PDF")) << cups.why();
    Start(WriteLiner("mix.cas", "Mix"));
    dialogs.pageSetup = [](PageSetupDialog& d) {
        QTest::mouseClick(d.printerButton(), Qt::LeftButton);
        return false;
    };
    window().Dispatch(kCmdPageSetup);
    EXPECT_EQ(prompter.LastText(), "No printer device drivers were found");
}

}  // namespace
