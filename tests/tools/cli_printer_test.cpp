// reelcard-cli print through a real print scheduler: a private cupsd with a
// cups-pdf queue, whose PDFs poppler reads back.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "document/liner_file.h"
#include "support/private_cups.h"
#include "support/test_support.h"
#include "tools/cli_run.h"

namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

constexpr double kTwip = 1 / 20.0;  // in points
// How far poppler's inked box may be from where the lines were placed: a
// pixel at 72 dpi, and the width of the lines themselves.
constexpr double kNear = 1.6;

// A liner `width` twips wide and 3.5 in high (flap 1 in, title 0.5 in,
// songs 2 in) with solid cut lines and the title "Mix".
std::string WriteLiner(const TempFolder& dir, const std::string& name, int width = 5760,
                       int songs = 0) {
    Liner liner;
    EnsureStandardFonts(liner);
    liner.title = {1, "Mix"};
    liner.width.twips = static_cast<int16_t>(width);
    liner.flapHeight.twips = 1440;
    liner.titleHeight.twips = 720;
    liner.primaryHeight.twips = 2880;
    std::string list;
    for (int i = 1; i <= songs; ++i) list += (i > 1 ? "\r\n" : "") + ("Song " + std::to_string(i));
    liner.songsA = {static_cast<int16_t>(songs), list};
    ScriptedPrompter prompter;
    const std::string path = dir.Path(name);
    EXPECT_TRUE(WriteLinerFile(liner, path, prompter));
    return path;
}

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

class CliPrinter : public ::testing::Test {
protected:
    void SetUp() override {
        if (!cups.Start()) GTEST_SKIP() << "no private print scheduler: " << cups.why();
    }

    // The one job the scheduler got since `before` jobs, printed; its pages.
    std::vector<PdfPageInfo> OnlyNewJob(size_t before, const QString& queue) {
        EXPECT_TRUE(cups.WaitUntilIdle()) << cups.Log();
        const std::vector<PrivateCups::Job> jobs = cups.Jobs();
        EXPECT_EQ(jobs.size(), before + 1);
        if (jobs.size() != before + 1) return {};
        EXPECT_EQ(jobs.back().queue, queue);
        const QString pdf = cups.OutputOf(jobs.back().id);
        EXPECT_FALSE(pdf.isEmpty()) << "no PDF for job " << jobs.back().id << "\n" << cups.Log();
        // Kept beside the output for looking at while the test runs.
        SnapshotPdfPage(pdf, 1, pdf + "-page1");
        return ReadPdfPages(pdf);
    }

    PrivateCups cups;
    TempFolder dir;
};

TEST_F(CliPrinter, CopiesWithinTheMarginsAsOneJob) {
    ASSERT_TRUE(cups.AddPdfQueue("Reelcard-PDF")) << cups.why();
    const std::string liner = WriteLiner(dir, "mix.cas");
    CliRun run = Cli({"print", Q(liner), "--printer", "Reelcard-PDF", "--copies", "3", "--margins",
                      "0.5,0,0.75in,0", "--paper", "A4"});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::vector<PdfPageInfo> pages = OnlyNewJob(0, "Reelcard-PDF");
    ASSERT_EQ(pages.size(), 3u);
    for (const PdfPageInfo& page : pages) {
        EXPECT_EQ(page.width, 595);
        EXPECT_EQ(page.height, 842);
        ASSERT_TRUE(page.inked);
        // The queue's paper is printable to its edges: the liner sits at the
        // margins, 4 by 3.5 inches.
        EXPECT_NEAR(page.left, 36, kNear);
        EXPECT_NEAR(page.top, 54, kNear);
        EXPECT_NEAR(page.right, 36 + 288, kNear);
        EXPECT_NEAR(page.bottom, 54 + 252, kNear);
    }
}

TEST_F(CliPrinter, TwoUpSheetsAcrossFilesOnTheDefaultPrinter) {
    ASSERT_TRUE(cups.AddPdfQueue("Other")) << cups.why();
    ASSERT_TRUE(cups.AddPdfQueue("Office")) << cups.why();
    ASSERT_TRUE(cups.SetDefault("Office")) << cups.why();
    const std::string a = WriteLiner(dir, "a.cas", 4320), b = WriteLiner(dir, "b.cas", 4320),
                      c = WriteLiner(dir, "c.cas", 4320);  // 3 in: two fit across Letter
    CliRun run = Cli({"print", Q(a), Q(b), Q(c), "--2up", "--paper", "Letter", "--printer"});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::vector<PdfPageInfo> pages = OnlyNewJob(0, "Office");
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_EQ(pages[0].width, 612);
    EXPECT_EQ(pages[0].height, 792);
    // Files a and b side by side, then c alone at the first place.
    EXPECT_NEAR(pages[0].left, 0, kNear);
    EXPECT_NEAR(pages[0].right, 2 * 216 + kTwip, kNear);
    EXPECT_NEAR(pages[0].bottom, 252, kNear);
    EXPECT_NEAR(pages[1].left, 0, kNear);
    EXPECT_NEAR(pages[1].right, 216, kNear);

    // "default" names the default printer too.
    run = Cli({"print", Q(a), "--printer", "default"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(OnlyNewJob(1, "Office").size(), 1u);
}

TEST_F(CliPrinter, ASheetThatFitsOnlyTurnedIsTurnedOntoThePaper) {
    ASSERT_TRUE(cups.AddPdfQueue("Reelcard-PDF")) << cups.why();
    const std::string wide = WriteLiner(dir, "wide.cas");
    // Two 4-inch liners need 8 in + 2 twips: within 1/4 in margins on Letter
    // only across a landscape sheet.
    CliRun run = Cli({"print", Q(wide), "--printer", "Reelcard-PDF", "--2up", "--copies", "2",
                      "--paper", "Letter", "--margins", "0.25,0.25,0.25,0.25"});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::vector<PdfPageInfo> pages = OnlyNewJob(0, "Reelcard-PDF");
    ASSERT_EQ(pages.size(), 1u);
    // The queue prints on upright Letter paper; the landscape sheet is turned
    // onto it, its top edge along the paper's left edge.  The pair, 8 by 3.5
    // inches on the sheet, stands 3.5 by 8 inches on the paper, its first
    // liner at the bottom.
    const PdfPageInfo& page = pages[0];
    EXPECT_EQ(page.width, 612);
    EXPECT_EQ(page.height, 792);
    EXPECT_NEAR(page.left, 18, kNear);
    EXPECT_NEAR(page.right, 18 + 252, kNear);
    EXPECT_NEAR(page.bottom, 792 - 18, kNear);
    EXPECT_NEAR(page.top, 792 - 18 - 576 - kTwip, kNear);
}

TEST_F(CliPrinter, OnATurnedSheetEachMarginStaysOnItsOwnEdgeOfThePaper) {
    ASSERT_TRUE(cups.AddPdfQueue("Reelcard-PDF")) << cups.why();
    const std::string wide = WriteLiner(dir, "wide.cas");
    // Two 4-inch liners fit A4 only turned.  Left and top margins of 10 mm:
    // the print system turns the landscape sheet onto upright A4, and the
    // pair keeps 10 mm from the paper's left edge; it stands along the bottom
    // edge, whose margin is 0, and far below the top.
    CliRun run = Cli({"print", Q(wide), "--printer", "Reelcard-PDF", "--2up", "--copies", "2", "--paper", "A4",
                      "--margins", "1cm,0,1cm,0"});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::vector<PdfPageInfo> pages = OnlyNewJob(0, "Reelcard-PDF");
    ASSERT_EQ(pages.size(), 1u);
    const PdfPageInfo& page = pages[0];
    EXPECT_EQ(page.width, 595);
    EXPECT_EQ(page.height, 842);
    const double tenMillimetres = 72 / 2.54;
    EXPECT_NEAR(page.left, tenMillimetres, kNear);
    EXPECT_NEAR(page.right, tenMillimetres + 252, kNear);
    EXPECT_NEAR(page.bottom, 842, kNear);
    EXPECT_GT(page.top, tenMillimetres);
}

TEST_F(CliPrinter, RefusedJobsSayWhyAndLeaveNothingQueued) {
    const std::string liner = WriteLiner(dir, "mix.cas");
    // No default printer yet.
    CliRun run = Cli({"print", Q(liner), "--printer"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("No default printer was found"), std::string::npos) << run.err;

    run = Cli({"print", Q(liner), "--printer", "Nowhere"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(
                  "Unable to start print job\nGeneral error\nPrinter \"Nowhere\" does not exist"),
              std::string::npos)
        << run.err;

    ASSERT_TRUE(cups.AddPdfQueue("Stopped")) << cups.why();
    ASSERT_TRUE(cups.StopQueue("Stopped")) << cups.why();
    run = Cli({"print", Q(liner), "--printer", "Stopped"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(
        run.err.find("Unable to start print job\nGeneral error\nPrinter \"Stopped\" is stopped"),
        std::string::npos)
        << run.err;

    // A batch whose second file cannot be read sends nothing at all.
    ASSERT_TRUE(cups.AddPdfQueue("Reelcard-PDF")) << cups.why();
    run = Cli({"print", Q(liner), Q(dir.Path("missing.cas")), "--printer", "Reelcard-PDF"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("missing.cas"), std::string::npos) << run.err;

    EXPECT_TRUE(cups.WaitUntilIdle());
    EXPECT_TRUE(cups.Jobs().empty());

    // A file or a printer, not both.
    EXPECT_EQ(
        Cli({"print", Q(liner), "--printer", "Reelcard-PDF", "-o", Q(dir.Path("out.pdf"))}).status,
        2);
    EXPECT_EQ(Cli({"print", Q(liner), "--printer", "Reelcard-PDF", "--printer", "Other"}).status,
              2);
    EXPECT_TRUE(cups.Jobs().empty());
}

// The song-fit warning belongs to the job, not to each copy of each file.
TEST(CliPrintSystem, APrintSystemThatNeverAnswersIsGivenUpOnAndSaidSo) {
    // A server that takes the connection (the kernel does, for the backlog)
    // and never says a word.
    const int silent = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(silent, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(bind(silent, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(silent, 16), 0);
    ASSERT_EQ(getsockname(silent, reinterpret_cast<sockaddr*>(&address), &length), 0);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("CUPS_SERVER", QStringLiteral("127.0.0.1:%1").arg(ntohs(address.sin_port)));
    TempFolder dir;
    const std::string cas = WriteLiner(dir, "mix.cas");
    for (const QStringList& printer : {QStringList{"--printer", "Office"}, QStringList{"--printer"}}) {
        const CliRun run = Cli(QStringList{"print", Q(cas)} + printer, environment);
        EXPECT_EQ(run.status, 1) << run.err;
        EXPECT_NE(run.err.find("The print system does not answer"), std::string::npos) << run.err;
    }
    close(silent);
}

TEST(CliPrintWarnings, SongsThatDoNotFitAreToldOncePerJob) {
    TempFolder dir;
    const std::string a = WriteLiner(dir, "a.cas", 5760, 60),
                      b = WriteLiner(dir, "b.cas", 5760, 60);
    CliRun run = Cli({"print", Q(a), Q(b), "--copies", "3", "-o", Q(dir.Path("out.pdf"))});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Count(run.err, "Not all songs will fit on"), 1u) << run.err;
}

}  // namespace
