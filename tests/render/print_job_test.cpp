#include "render/print_job.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include "document/liner_file.h"
#include "support/test_support.h"

namespace {

// Letter paper, 1/4 inch unprintable on every side.
PageMetrics Letter(int x = 360, int y = 360, int right = 360, int bottom = 360) {
    return {12240, 15840, x, y, 12240 - x - right, 15840 - y - bottom};
}

PrintSettings Margins(int left, int right, int top, int bottom, bool twoUp = false) {
    PrintSettings s;
    s.marginLeft.twips = static_cast<int16_t>(left);
    s.marginRight.twips = static_cast<int16_t>(right);
    s.marginTop.twips = static_cast<int16_t>(top);
    s.marginBottom.twips = static_cast<int16_t>(bottom);
    s.print2Up = twoUp;
    return s;
}

// A device that counts the liners drawn on each page.  Turned, its paper
// swaps sides and the unprintable strips go round with it, clockwise: the
// upright top strip becomes the left one and the upright right strip the
// top one.
class FakeDevice : public PrintDevice {
public:
    explicit FakeDevice(PageMetrics upright) : upright_(upright), image_(8, 8, QImage::Format_RGB32) {}

    PageMetrics Metrics() const override {
        if (turn_ == PageTurn::Portrait) return upright_;
        const PageMetrics& u = upright_;
        return {u.paperHeight, u.paperWidth, u.printableY, u.paperWidth - u.printableX - u.printableWidth,
                u.printableHeight, u.printableWidth};
    }
    PageTurn Orientation() const override { return turn_; }
    bool TurnsLandscapeClockwise() const override { return true; }
    bool SetOrientation(PageTurn turn) override {
        if (!turnable) return false;
        turn_ = turn;
        return true;
    }
    int DeviceCopies() const override { return deviceCopies; }
    void SetDeviceCopies(int copies) override { deviceCopies = copies; }

    bool StartDocument(const QString& name) override {
        documentName = name;
        return (started = startDocumentWorks);
    }
    bool StartPage() override {
        if (failPage && static_cast<int>(pages.size()) + 1 == failPage) return false;
        pages.push_back(0);
        turns.push_back(turn_);
        painter_.begin(&image_);
        return true;
    }
    bool EndPage() override {
        painter_.end();
        return true;
    }
    bool EndDocument() override { return (ended = true); }
    bool AbortDocument() override {
        if (painter_.isActive()) painter_.end();
        return (aborted = true);
    }
    QPainter* Painter() override {
        ++pages.back();
        return &painter_;
    }
    double DpiX() const override { return 72; }
    double DpiY() const override { return 72; }
    int LastError() const override { return -1; }

    bool turnable = true;
    bool startDocumentWorks = true;
    int failPage = 0;  // the page number whose start fails
    int deviceCopies = 1;
    std::vector<int> pages;  // liners drawn on each page
    std::vector<PageTurn> turns;
    QString documentName;
    bool started = false, ended = false, aborted = false;

private:
    PageMetrics upright_;
    PageTurn turn_ = PageTurn::Portrait;
    QImage image_;
    QPainter painter_;
};

// A progress that cancels when asked the `cancelAt`-th time.
class CountingProgress : public PrintProgress {
public:
    void Started(const std::string& line) override { lines.push_back(line); }
    void FileChanged(const std::string& line) override { lines.push_back(line); }
    void CopyChanged(int copy, int copies) override { copyLines.push_back({copy, copies}); }
    bool Cancelled() override { return ++asked == cancelAt; }
    void Finished() override { ++finished; }

    int cancelAt = 0;
    int asked = 0;
    int finished = 0;
    std::vector<std::string> lines;
    std::vector<std::pair<int, int>> copyLines;
};

void EnsureGuiApp() {
    static int argc = 1;
    static char name[] = "print_job_test";
    static char* argv[] = {name, nullptr};
    if (!QGuiApplication::instance()) new QGuiApplication(argc, argv);
}

Liner SmallLiner(int width = 5760) {
    Liner liner;
    EnsureStandardFonts(liner);
    liner.width.twips = static_cast<int16_t>(width);
    liner.flapHeight.twips = 1440;
    liner.titleHeight.twips = 720;
    liner.primaryHeight.twips = 2880;
    return liner;
}

// ---- placement ------------------------------------------------------------------------

TEST(PrintPlacement, UprightFromTheEffectiveMargins) {
    // The device's strip wins where the user's margin is smaller.
    auto p = PlaceUpright(Letter(), Margins(0, 0, 0, 0), 5760, 5040, false);
    ASSERT_TRUE(p);
    EXPECT_EQ(*p, (PrintPlacement{0, 5761, 0}));
    p = PlaceUpright(Letter(), Margins(720, 0, 1080, 0), 4320, 5040, true);
    ASSERT_TRUE(p);
    EXPECT_EQ(*p, (PrintPlacement{360, 360 + 4321, 360 - 1080}));
}

TEST(PrintPlacement, ExactlyTheAvailableSizeIsRefused) {
    // Available: 12240 - 360 - 360 = 11520 wide, 15840 - 720 = 15120 high.
    EXPECT_FALSE(PlaceUpright(Letter(), {}, 11519, 100, false));
    EXPECT_TRUE(PlaceUpright(Letter(), {}, 11518, 100, false));
    EXPECT_FALSE(PlaceUpright(Letter(), {}, 100, 15119, false));
    EXPECT_TRUE(PlaceUpright(Letter(), {}, 100, 15118, false));
    // Two liners: 2 * width + 2.
    EXPECT_FALSE(PlaceUpright(Letter(), {}, 5759, 100, true));
    EXPECT_TRUE(PlaceUpright(Letter(), {}, 5758, 100, true));
    // A margin larger than the strip narrows the space.
    EXPECT_FALSE(PlaceUpright(Letter(), Margins(0, 361, 0, 0), 11518, 100, false));
}

TEST(PrintPlacement, FitsOnlyTurned) {
    ScriptedPrompter prompter;
    // Uneven strips so that each one's part in the turned placement shows.
    FakeDevice device(Letter(200, 300, 440, 540));
    const PrintSettings margins = Margins(0, 500, 720, 0, true);
    // Upright the pair needs 11602 of the 12240 - 200 - 500 = 11540 across.
    auto p = ComputePrintPlacement(device, margins, 5800, 5040, true, prompter);
    ASSERT_TRUE(p);
    EXPECT_EQ(device.Orientation(), PageTurn::Landscape);
    // Upright top T = 720 and right R = 500: first x = T - Y, y = W - R - X - RW.
    EXPECT_EQ(p->firstX, 720 - 300);
    EXPECT_EQ(p->secondX, 720 - 300 + 5801);
    EXPECT_EQ(p->y, 12240 - 500 - 200 - (12240 - 200 - 440));
    EXPECT_TRUE(prompter.shown.empty());
}

TEST(PrintPlacement, MessagesWhenNothingFits) {
    ScriptedPrompter prompter;
    FakeDevice device(Letter());
    device.turnable = false;
    EXPECT_FALSE(ComputePrintPlacement(device, {}, 5760, 5040, true, prompter));
    EXPECT_EQ(prompter.LastText(),
              "2 liners will not fit within 'printable' area and\n\rprinter orientation cannot be changed");
    EXPECT_EQ(prompter.shown.back().style.icon, MessageIcon::Stop);
    EXPECT_FALSE(ComputePrintPlacement(device, {}, 12000, 5040, false, prompter));
    EXPECT_EQ(prompter.LastText(),
              "Liner will not fit within 'printable' area and\n\rprinter orientation cannot be changed");
    EXPECT_EQ(device.Orientation(), PageTurn::Portrait);

    device.turnable = true;
    EXPECT_FALSE(ComputePrintPlacement(device, {}, 16000, 5040, false, prompter));
    EXPECT_EQ(prompter.LastText(), "Liner will not fit within 'printable' area");
    EXPECT_FALSE(ComputePrintPlacement(device, {}, 8000, 5040, true, prompter));
    EXPECT_EQ(prompter.LastText(), "2 liners will not fit within 'printable' area");
    EXPECT_EQ(device.Orientation(), PageTurn::Portrait);
}

TEST(PrintErrors, OnlySpoolerCodesAreShownWithTheirReason) {
    ScriptedPrompter prompter;
    ReportPrintError(prompter, 121, -3);
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.LastText(), "Unable to start print job\n\rCanceled by user");
    EXPECT_EQ(prompter.shown[0].style.icon, MessageIcon::Stop);
    ReportPrintError(prompter, 170, -5);
    EXPECT_EQ(prompter.LastText(), "Unable to advance to next page of document\n\rOut of memory");
    ReportPrintError(prompter, 105, 0);
    ReportPrintError(prompter, 105, -6);
    ReportPrintError(prompter, 105, 5);
    EXPECT_EQ(prompter.shown.size(), 2u);
    // The printer's line goes under the reason.
    ReportPrintError(prompter, 197, -1, "Printer \"Office\" does not exist");
    EXPECT_EQ(prompter.LastText(), "Unable to end print job\n\rGeneral error\n\rPrinter \"Office\" does not exist");
}

TEST(PrintCopies, DriverCopiesBecomeTheProgramsAndTheDriverMakesOne) {
    FakeDevice device(Letter());
    device.deviceCopies = 4;
    EXPECT_EQ(TakeCopies(1, device), 4);
    EXPECT_EQ(device.deviceCopies, 1);
    device.deviceCopies = 4;
    EXPECT_EQ(TakeCopies(2, device), 2);
    EXPECT_EQ(device.deviceCopies, 1);
    EXPECT_EQ(TakeCopies(3, device), 3);
}

// ---- the job --------------------------------------------------------------------------

struct JobRun {
    PrintJobResult result;
    std::vector<int> pages;
};

JobRun RunJob(FakeDevice& device, Liner& liner, PrintJobRequest request, CountingProgress& progress,
           ScriptedPrompter& prompter) {
    EnsureGuiApp();
    JobRun run;
    run.result = RunPrintJob(device, liner, request, prompter, progress);
    run.pages = device.pages;
    return run;
}

PrintJobRequest Copies(int copies, bool twoUp) {
    PrintJobRequest r;
    r.copies = copies;
    r.page.print2Up = twoUp;
    r.documentName = "Mix";
    return r;
}

TEST(PrintJob, SheetsOfCopiesOneAndTwoUp) {
    ScriptedPrompter prompter;
    Liner liner = SmallLiner();
    {
        FakeDevice device(Letter());
        CountingProgress progress;
        JobRun run = RunJob(device, liner, Copies(3, false), progress, prompter);
        EXPECT_EQ(run.pages, (std::vector<int>{1, 1, 1}));
        EXPECT_EQ(run.result.sheets, 3);
        EXPECT_TRUE(run.result.complete);
        EXPECT_TRUE(device.ended);
        EXPECT_EQ(device.documentName, "Mix");
        EXPECT_EQ(progress.copyLines, (std::vector<std::pair<int, int>>{{1, 3}, {2, 3}, {3, 3}}));
        EXPECT_EQ(progress.finished, 1);
    }
    // Two-up needs 2 * 4 in + 2 twips across: Letter turns for it.
    liner = SmallLiner();
    {
        FakeDevice device(Letter());
        CountingProgress progress;
        JobRun run = RunJob(device, liner, Copies(3, true), progress, prompter);
        EXPECT_EQ(run.pages, (std::vector<int>{2, 1}));  // the second sheet half filled
        EXPECT_TRUE(device.ended);
    }
    {
        FakeDevice device(Letter());
        CountingProgress progress;
        JobRun run = RunJob(device, liner, Copies(2, true), progress, prompter);
        EXPECT_EQ(run.pages, (std::vector<int>{2}));
    }
    EXPECT_TRUE(prompter.shown.empty()) << prompter.LastText();
}

TEST(PrintJob, BatchSheetsContinueAcrossFilesAndAFailedFileEndsTheJob) {
    TempFolder dir;
    ScriptedPrompter prompter;
    Liner liner = SmallLiner(4320);
    std::vector<std::string> files;
    for (const char* name : {"one.cas", "two.cas", "three.cas"}) {
        liner.title = {1, name};
        files.push_back(dir.Path(name));
        ASSERT_TRUE(WriteLinerFile(liner, files.back(), prompter));
    }
    Liner open = SmallLiner();
    PrintJobRequest request = Copies(1, true);
    request.files = files;
    {
        FakeDevice device(Letter());
        CountingProgress progress;
        JobRun run = RunJob(device, open, request, progress, prompter);
        EXPECT_EQ(run.pages, (std::vector<int>{2, 1}));  // files 1 and 2, then 3 alone
        EXPECT_EQ(progress.lines, (std::vector<std::string>{"one.cas", "two.cas", "three.cas"}));
        EXPECT_EQ(open.title.text, "three.cas");
        EXPECT_TRUE(run.result.complete);
    }
    // A file that cannot be read: what was printed stays, the document ends.
    request.files[1] = dir.Path("missing.cas");
    request.page.print2Up = false;
    {
        FakeDevice device(Letter());
        CountingProgress progress;
        JobRun run = RunJob(device, open, request, progress, prompter);
        EXPECT_EQ(run.pages, (std::vector<int>{1}));
        EXPECT_TRUE(device.ended);
        EXPECT_TRUE(run.result.printed);
        EXPECT_FALSE(run.result.complete);
        EXPECT_NE(prompter.LastText().find("missing.cas"), std::string::npos);
    }
    // Whole or nothing: the printed part is thrown away instead.
    request.wholeOrNothing = true;
    {
        FakeDevice device(Letter());
        CountingProgress progress;
        JobRun run = RunJob(device, open, request, progress, prompter);
        EXPECT_TRUE(device.aborted);
        EXPECT_FALSE(device.ended);
        EXPECT_FALSE(run.result.printed);
    }
}

TEST(PrintJob, TurnedForTheJobAndBackAfterwards) {
    ScriptedPrompter prompter;
    Liner liner = SmallLiner();
    FakeDevice device(Letter());
    CountingProgress progress;
    RunJob(device, liner, Copies(2, true), progress, prompter);
    ASSERT_EQ(device.turns.size(), 1u);
    EXPECT_EQ(device.turns[0], PageTurn::Landscape);
    EXPECT_EQ(device.Orientation(), PageTurn::Portrait);

    // Cannot turn: the message, and no document at all.
    FakeDevice stiff(Letter());
    stiff.turnable = false;
    CountingProgress progress2;
    JobRun run = RunJob(stiff, liner, Copies(2, true), progress2, prompter);
    EXPECT_FALSE(stiff.started);
    EXPECT_TRUE(run.pages.empty());
    EXPECT_NE(prompter.LastText().find("printer orientation cannot be changed"), std::string::npos);
}

TEST(PrintJob, CancelStopsAfterTheLinerBeingDrawn) {
    ScriptedPrompter prompter;
    Liner liner = SmallLiner();
    FakeDevice device(Letter());
    CountingProgress progress;
    progress.cancelAt = 1;
    JobRun run = RunJob(device, liner, Copies(3, false), progress, prompter);
    EXPECT_EQ(run.pages, (std::vector<int>{1}));
    EXPECT_TRUE(run.result.cancelled);
    EXPECT_TRUE(device.aborted);
    EXPECT_FALSE(run.result.complete);
    EXPECT_TRUE(prompter.shown.empty());
}

TEST(PrintJob, FailedStepsReportAndStillCloseTheProgress) {
    ScriptedPrompter prompter;
    Liner liner = SmallLiner();
    FakeDevice device(Letter());
    device.failPage = 2;
    CountingProgress progress;
    JobRun run = RunJob(device, liner, Copies(3, false), progress, prompter);
    EXPECT_EQ(run.pages, (std::vector<int>{1}));
    EXPECT_EQ(prompter.LastText(), "Unable to start new page of document\n\rGeneral error");
    EXPECT_FALSE(device.ended);  // the unfinished job is given up
    EXPECT_TRUE(device.aborted);
    EXPECT_EQ(progress.finished, 1);

    FakeDevice closed(Letter());
    closed.startDocumentWorks = false;
    CountingProgress progress2;
    RunJob(closed, liner, Copies(1, false), progress2, prompter);
    EXPECT_EQ(prompter.LastText(), "Unable to start print job\n\rGeneral error");
    EXPECT_TRUE(closed.pages.empty());
}

}  // namespace
