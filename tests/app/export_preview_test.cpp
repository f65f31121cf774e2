// Print Preview and File > Export: the preview shows the sheets the print job
// sends to the printer; the exported files hold the liner at its size.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDialog>
#include <QDoubleSpinBox>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>

#include "platform/commands.h"
#include "app/export_commands.h"
#include "app/print_commands.h"
#include "app/print_dialogs.h"
#include "app/print_preview.h"
#include "app_test_support.h"
#include "platform/strings.h"
#include "render/geometry.h"
#include "render/liner_export.h"

namespace {

// Print with the dialog answered OK and no files chosen.
class OkPrintDialogs : public PrintDialogs {
public:
    bool Print(QWidget*, QPrinter&, const std::function<void(QWidget*)>&) override { return true; }
    std::optional<PrintFilesChoice> ChooseFiles(QWidget*, const PrintFilesRequest&) override { return std::nullopt; }
    bool PageSetup(PageSetupDialog&) override { return false; }
    std::optional<QString> ChoosePrinter(QWidget*, const QStringList&, const QString&) override { return std::nullopt; }
};

QString RunTool(const QString& program, const QStringList& args) {
    QProcess process;
    process.start(program, args);
    process.waitForFinished(30000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

// Each page of a PDF: wider than high?
std::vector<bool> PdfPagesLandscape(const std::string& pdf) {
    std::vector<bool> pages;
    const QString info = RunTool("pdfinfo", {"-f", "1", "-l", "99", QString::fromStdString(pdf)});
    for (const QString& line : info.split('\n')) {
        if (!line.startsWith("Page") || !line.contains(" size:")) continue;
        const QStringList words = line.mid(line.indexOf("size:") + 5).simplified().split(' ');
        if (words.size() >= 3) pages.push_back(words[0].toDouble() > words[2].toDouble());
    }
    return pages;
}

class PreviewAndExport : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureApplication();
        QFile::copy(REELCARD_BIN_DIR "/samples/cassette.bmp", QString::fromStdString(harness.Path("cassette.bmp")));
        ASSERT_TRUE(harness.Start(QString::fromStdString(harness.CopySample("mix.cas"))));
        printing = std::make_unique<Printing>(harness.window(), printDialogs, harness.prompter);
        printing->Install();
        printing->printer().setOutputFormat(QPrinter::PdfFormat);
        printing->printer().setOutputFileName(QString::fromStdString(Pdf()));
        printing->printer().setPageSize(QPageSize(QPageSize::A4));
        preview = std::make_unique<PrintPreview>(harness.window(), *printing, harness.prompter);
        preview->Install();
        preview->run = [this](PrintPreviewDialog& dialog) {
            shownSheets.clear();
            for (const PreviewSheet& sheet : dialog.sheets()) shownSheets.push_back(sheet.paper.width() > sheet.paper.height());
            if (printFromPreview) dialog.findChild<QPushButton*>("PreviewPrint")->click();
        };
        exporting = std::make_unique<Exporting>(harness.window(), *printing, harness.dialogs, harness.prompter);
        exporting->Install();
    }
    std::string Pdf() const { return harness.Path("out.pdf"); }
    MainWindow& window() { return harness.window(); }

    AppHarness harness;
    OkPrintDialogs printDialogs;
    std::unique_ptr<Printing> printing;
    std::unique_ptr<PrintPreview> preview;
    std::unique_ptr<Exporting> exporting;
    std::vector<bool> shownSheets;  // landscape or not, per sheet
    bool printFromPreview = false;
};

TEST_F(PreviewAndExport, PreviewShowsTheSheetsPrintSends) {
    struct Case {
        int copies;
        bool twoUp;
        int width;  // twips; 9 inches fits A4 only turned
    };
    const Case cases[] = {{1, false, 0}, {3, false, 0}, {3, true, 0}, {2, false, 12960}};
    const int ownWidth = window().liner().width.twips;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.copies << " copies, 2-up " << c.twoUp << ", width " << c.width);
        window().settings().copies = static_cast<int16_t>(c.copies);
        window().settings().print.print2Up = c.twoUp;
        window().liner().width.twips = static_cast<int16_t>(c.width ? c.width : ownWidth);
        QFile::remove(QString::fromStdString(Pdf()));
        printFromPreview = true;
        ASSERT_EQ(window().Dispatch(kCmdPrintPreview), 1);
        const std::vector<bool> printed = PdfPagesLandscape(Pdf());
        EXPECT_EQ(shownSheets, printed);
        EXPECT_EQ(shownSheets.size(), static_cast<size_t>(c.twoUp ? (c.copies + 1) / 2 : c.copies));
        EXPECT_EQ(!shownSheets.empty() && shownSheets.front(), c.width != 0);
        // The printer is upright again afterwards.
        EXPECT_EQ(printing->printer().pageLayout().orientation(), QPageLayout::Portrait);
    }
    EXPECT_TRUE(harness.prompter.shown.empty()) << harness.prompter.LastText();
}

TEST_F(PreviewAndExport, ALinerThatDoesNotFitShowsTheMessageAndNoPreview) {
    window().liner().width.twips = 20000;  // wider than A4 either way
    bool shown = false;
    preview->run = [&shown](PrintPreviewDialog&) { shown = true; };
    window().Dispatch(kCmdPrintPreview);
    EXPECT_FALSE(shown);
    ASSERT_EQ(harness.prompter.shown.size(), 1u);
    EXPECT_EQ(harness.prompter.LastText(), LoadString(IDS_LINER_WONT_FIT));
}

TEST_F(PreviewAndExport, ExportWritesEachFormatAndRemembersItsChoices) {
    std::vector<ExportOptions> asked;
    exporting->askOptions = [&asked](QWidget*, ExportOptions& options) {
        asked.push_back(options);
        if (options.format == ExportFormat::Png) {
            options.dpi = 150;
            options.transparent = true;
        }
        return true;
    };
    const LinerGeometry g = ComputeLinerGeometry(window().liner());

    // PDF of the liner at its size, its text as text.
    harness.dialogs.saveAnswers.push_back(Chosen(harness.Path("liner.pdf"), 1));
    ASSERT_EQ(window().Dispatch(kCmdExport), 1);
    ASSERT_EQ(harness.dialogs.saveRequests.size(), 1u);
    EXPECT_EQ(harness.dialogs.saveRequests[0].fileName, "mix.pdf");
    const QString info = RunTool("pdfinfo", {QString::fromStdString(harness.Path("liner.pdf"))});
    const qsizetype at = info.indexOf("Page size:");
    ASSERT_GE(at, 0) << info.toStdString();
    const QStringList size = info.mid(at + 10, 40).simplified().split(' ');
    ASSERT_GE(size.size(), 3);
    EXPECT_NEAR(size[0].toDouble(), (g.width + 1) / 20.0, 0.5);
    EXPECT_NEAR(size[2].toDouble(), (g.totalHeight + 1) / 20.0, 0.5);
    EXPECT_TRUE(info.contains("Pages:           1"));
    EXPECT_TRUE(RunTool("pdftotext", {QString::fromStdString(harness.Path("liner.pdf")), "-"}).contains("Summer Mixtape"));

    // PNG at the asked resolution, transparent around what is drawn.
    harness.dialogs.saveAnswers.push_back(Chosen(harness.Path("liner"), 2));
    ASSERT_EQ(window().Dispatch(kCmdExport), 1);
    EXPECT_EQ(harness.dialogs.saveRequests[1].filterIndex, 1);  // remembered from the PDF
    const QImage png(QString::fromStdString(harness.Path("liner.png")));
    ASSERT_FALSE(png.isNull());
    EXPECT_EQ(png.size(), LinerImageSize(window().liner(), 150));
    EXPECT_NEAR(png.dotsPerMeterX(), 150 / 0.0254, 1);
    EXPECT_TRUE(png.hasAlphaChannel());
    EXPECT_EQ(qAlpha(png.pixel(png.width() / 2, png.height() - 5)), 0);
    EXPECT_EQ(qAlpha(png.pixel(0, 0)), 255);  // the cut line

    // The sheet as Print makes it: two copies of the open liner.
    window().settings().copies = 2;
    window().settings().exportSheet = true;
    harness.dialogs.saveAnswers.push_back(Chosen(harness.Path("sheets.pdf"), 1));
    ASSERT_EQ(window().Dispatch(kCmdExport), 1);
    EXPECT_EQ(PdfPagesLandscape(harness.Path("sheets.pdf")).size(), 2u);
    EXPECT_TRUE(RunTool("pdfinfo", {QString::fromStdString(harness.Path("sheets.pdf"))}).contains("(A4)"));

    ASSERT_EQ(asked.size(), 3u);
    EXPECT_EQ(asked[0].format, ExportFormat::Pdf);
    EXPECT_EQ(asked[1].format, ExportFormat::Png);
    EXPECT_EQ(asked[1].dpi, 300);  // the start value
    EXPECT_EQ(window().settings().exportDpi, 150);
    EXPECT_TRUE(window().settings().exportTransparent);
    EXPECT_EQ(window().settings().exportFilterIndex, 1);
    EXPECT_EQ(window().settings().exportFolder, FolderOfChosenFile(QString::fromStdString(harness.Path("sheets.pdf"))));

    // A file that cannot be written says so.
    harness.dialogs.saveAnswers.push_back(Chosen(harness.Path("no/such/folder/x.svg"), 3));
    EXPECT_EQ(window().Dispatch(kCmdExport), 1);
    EXPECT_NE(harness.prompter.LastText().find("Cannot write file"), std::string::npos);
}

TEST_F(PreviewAndExport, AsManyAsFitAndBleedFromPageSetupAndExport) {
    // Page Setup: "As many as fit" and "Print 2-Up" exclude each other; the
    // bleed is in the margins' unit.
    PageSetupDialog setup(&window(), printing->printer(), window().settings().print, kUnitInches);
    setup.twoUpBox()->click();
    setup.nUpBox()->click();
    EXPECT_FALSE(setup.twoUpBox()->isChecked());
    setup.bleedBox()->setValue(0.125);
    const PrintSettings chosen = setup.Result();
    EXPECT_TRUE(chosen.printNUp);
    EXPECT_FALSE(chosen.print2Up);
    EXPECT_EQ(chosen.bleed.twips, 180);

    // Five copies of the 4-inch liner, as many a sheet as fit: the preview
    // shows the sheets that print.
    window().settings().print.printNUp = true;
    window().settings().copies = 5;
    printFromPreview = true;
    ASSERT_EQ(window().Dispatch(kCmdPrintPreview), 1);
    const std::vector<bool> printed = PdfPagesLandscape(Pdf());
    EXPECT_EQ(shownSheets, printed);
    EXPECT_EQ(printed.size(), 2u);  // four a sheet on A4
    EXPECT_EQ(RunTool("pdftotext", {QString::fromStdString(Pdf()), "-"}).count("Summer Mixtape"), 5);

    // Export of the liner with bleed: the boxes a print shop reads.
    ExportOptions start;
    start.bleed = 180;
    ExportOptionsDialog options(&window(), start);
    auto* bleed = options.findChild<QDoubleSpinBox*>("Bleed");
    ASSERT_TRUE(bleed);
    EXPECT_DOUBLE_EQ(bleed->value(), 0.125);
    options.findChild<QRadioButton*>("SheetPdf")->click();
    EXPECT_FALSE(bleed->isEnabled());  // the sheets take Page Setup's
    exporting->askOptions = [](QWidget*, ExportOptions& o) {
        o.sheet = false;
        o.bleed = 180;
        return true;
    };
    harness.dialogs.saveAnswers.push_back(Chosen(harness.Path("shop.pdf"), 1));
    ASSERT_EQ(window().Dispatch(kCmdExport), 1);
    const QString boxes = RunTool("pdfinfo", {"-box", QString::fromStdString(harness.Path("shop.pdf"))});
    EXPECT_TRUE(boxes.contains("TrimBox:")) << boxes.toStdString();
    EXPECT_TRUE(boxes.contains("BleedBox:"));
    EXPECT_EQ(window().settings().exportBleed.twips, 180);
}

}  // namespace
