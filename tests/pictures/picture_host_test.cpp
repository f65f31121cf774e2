#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QPainter>
#include <QThread>

#include "platform/qt_surface.h"

#include <dlfcn.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "document/liner.h"
#include "pictures/picture_host.h"
#include "pictures/picture_image.h"
#include "pictures/picture_test_support.h"
#include "platform/paths.h"
#include "platform/surface.h"
#include "support/test_support.h"

// Picture descriptions name only the fields that matter to each case.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

using namespace picture_test;

namespace {

const std::vector<std::vector<uint32_t>> kColours = {{0xFF0000, 0x00FF00, 0x0000FF},
                                                     {0xFFFFFF, 0x000000, 0x808080}};

std::vector<uint8_t> ColourBmp() {
    BmpSpec spec{.width = 3, .height = 2, .bitCount = 24};
    spec.pixels = PackRows(3, kColours, 24, true);
    return MakeBmp(spec);
}

// A blank BMP of the given size in pixels.
std::vector<uint8_t> BlankBmp(int width, int height) {
    BmpSpec spec{.width = width, .height = height, .bitCount = 1};
    spec.palette = {0x000000, 0xFFFFFF};
    spec.pixels.assign(static_cast<size_t>((width + 31) / 32 * 4 * height), 0);
    return MakeBmp(spec);
}

void ExpectColours(const QImage& image) {
    ASSERT_FALSE(image.isNull());
    ASSERT_EQ(image.size(), QSize(3, 2));
    const std::vector<QRgb> expected = {0xFF0000u, 0x00FF00u, 0x0000FFu, 0xFFFFFFu, 0x000000u, 0x808080u};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(image.pixel(i % 3, i / 3) & 0xFFFFFF, expected[i]) << i;
}
void ExpectColours(const PictureLookup& found) {
    ASSERT_TRUE(found.picture);
    ExpectColours(found.picture->image());
}

void ExpectColours(const void* dib) {
    ASSERT_NE(dib, nullptr);
    EXPECT_EQ(PixelOf(dib, 0, 0), 0xFF0000u);
    EXPECT_EQ(PixelOf(dib, 1, 0), 0x00FF00u);
    EXPECT_EQ(PixelOf(dib, 2, 0), 0x0000FFu);
    EXPECT_EQ(PixelOf(dib, 0, 1), 0xFFFFFFu);
    EXPECT_EQ(PixelOf(dib, 1, 1), 0x000000u);
    EXPECT_EQ(PixelOf(dib, 2, 1), 0x808080u);
}

// A shared library that lacks every export of a graphics plugin: a copy of
// zlib, which the PNG plugin already brings into the process.
std::string LibraryWithoutExports() {
    void* zlib = dlopen("libz.so.1", RTLD_NOW | RTLD_LOCAL);
    if (!zlib) return {};
    Dl_info info{};
    void* symbol = dlsym(zlib, "zlibVersion");
    if (!symbol || !dladdr(symbol, &info) || !info.dli_fname) return {};
    return info.dli_fname;
}

class PictureHostTest : public ::testing::Test {
protected:
    std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
        std::string path = folder_.Path(name);
        WriteBytes(path, bytes);
        return path;
    }
    // A PNG or TGA file of the 3 by 2 colour picture, written by its plugin.
    std::string WriteColourPicture(const std::string& plugin, const std::string& name) {
        DibPtr dib = MakeDib(3, 2, 24, {}, PackRows(3, kColours, 24, true));
        std::string path = folder_.Path(name);
        EXPECT_TRUE(WriteThroughPlugin(plugin, path, dib.get()));
        return path;
    }

    TempFolder folder_;
    ScriptedPrompter prompter_;
    PictureReaderTable table_{REELCARD_BIN_DIR};
};

TEST_F(PictureHostTest, LoadsPluginsFromTheProgramFolderOnce) {
    ASSERT_TRUE(LoadPictureReader(kReaderPng, prompter_, table_));
    ASSERT_TRUE(LoadPictureReader(kReaderTga, prompter_, table_));
    const PictureReader& png = table_.Row(kReaderPng);
    EXPECT_TRUE(png.loaded);
    EXPECT_NE(png.read, nullptr);
    EXPECT_NE(png.information, nullptr);
    EXPECT_NE(png.error, nullptr);
    void* handle = png.library;
    EXPECT_TRUE(LoadPictureReader(kReaderPng, prompter_, table_));
    EXPECT_EQ(table_.Row(kReaderPng).library, handle);
    EXPECT_FALSE(LoadPictureReader(kPictureReaderCount, prompter_, table_));
    EXPECT_TRUE(prompter_.shown.empty());

    // The program's own table looks beside the program, where the build puts
    // the plugins next to this test.
    EXPECT_TRUE(LoadPictureReader(kReaderTga, prompter_));
    EXPECT_TRUE(prompter_.shown.empty());
}

TEST_F(PictureHostTest, InstalledPluginFolderIsSearchedAfterTheProgramFolder) {
    // An installation: nothing beside the program in bin/, the plugin in the
    // plugin folder found from there.
    TempFolder prefix;
    QDir().mkpath(QString::fromStdString(prefix.Path("bin")));
    const std::string installed = PluginFolders(prefix.Path("bin"))[1];
    QDir().mkpath(QString::fromStdString(installed));
    ASSERT_TRUE(QFile::copy(REELCARD_BIN_DIR "/tgaflt32.so", QString::fromStdString(installed + "/tgaflt32.so")));
    PictureReaderTable table(prefix.Path("bin"));
    EXPECT_TRUE(LoadPictureReader(kReaderTga, prompter_, table));
    EXPECT_TRUE(prompter_.shown.empty());
    // One beside the program wins.
    ASSERT_TRUE(QFile::copy(REELCARD_BIN_DIR "/pngflt32.so", QString::fromStdString(prefix.Path("bin/pngflt32.so"))));
    ASSERT_TRUE(LoadPictureReader(kReaderPng, prompter_, table));
    Dl_info info{};
    ASSERT_NE(dladdr(reinterpret_cast<void*>(table.Row(kReaderPng).read), &info), 0);
    EXPECT_EQ(QFileInfo(info.dli_fname).canonicalFilePath(),
              QFileInfo(QString::fromStdString(prefix.Path("bin/pngflt32.so"))).canonicalFilePath());
}

TEST_F(PictureHostTest, MissingLibraryIsReportedOnEveryUse) {
    TempFolder empty;
    PictureReaderTable table(empty.Path(""));
    EXPECT_FALSE(LoadPictureReader(kReaderJpg, prompter_, table));
    EXPECT_FALSE(LoadPictureReader(kReaderJpg, prompter_, table));
    ASSERT_EQ(prompter_.shown.size(), 2u);
    EXPECT_EQ(prompter_.shown[0].text, "Unable to locate dynamic link library 'jpgflt32.so'");
    EXPECT_EQ(prompter_.shown[0].style.icon, MessageIcon::Stop);
    EXPECT_FALSE(table.Row(kReaderJpg).loaded);
}

TEST_F(PictureHostTest, LibraryWithoutTheExportsIsNotUsed) {
    const std::string donor = LibraryWithoutExports();
    if (donor.empty()) GTEST_SKIP() << "no zlib to stand in for a foreign library";
    ASSERT_TRUE(QFile::copy(QString::fromStdString(donor),
                            QString::fromStdString(folder_.Path("pcxflt32.so"))));
    PictureReaderTable table(folder_.Path(""));
    EXPECT_FALSE(LoadPictureReader(kReaderPcx, prompter_, table));
    EXPECT_FALSE(LoadPictureReader(kReaderPcx, prompter_, table));
    ASSERT_EQ(prompter_.shown.size(), 2u);
    EXPECT_EQ(prompter_.shown[0].text,
              "Unable to find function 'ReadGraphicFile' within dynamic link library "
              "'pcxflt32.so'");
    EXPECT_EQ(prompter_.shown[0].style.icon, MessageIcon::Stop);
    EXPECT_EQ(prompter_.shown[1].text, prompter_.shown[0].text);
    EXPECT_FALSE(table.Row(kReaderPcx).loaded);
    EXPECT_EQ(table.Row(kReaderPcx).read, nullptr);
}

TEST_F(PictureHostTest, ExaminesEachFormatAtTheScreenResolution) {
    const std::string bmp = Write("wide.bmp", BlankBmp(96, 48));
    auto examined = ExaminePictureFile(bmp, prompter_, table_, {96, 96});
    ASSERT_TRUE(examined);
    EXPECT_EQ(examined->formatIndex, kReaderBmp);
    EXPECT_EQ(examined->naturalWidth, 1440);
    EXPECT_EQ(examined->naturalHeight, -720);

    examined = ExaminePictureFile(bmp, prompter_, table_, {120, 144});
    ASSERT_TRUE(examined);
    EXPECT_EQ(examined->naturalWidth, 1152);
    EXPECT_EQ(examined->naturalHeight, -480);

    // A file that says how many pixels a metre it has is taken at its word
    // (144 dpi here), whatever the screen.
    BmpSpec fine;
    fine.width = 96;
    fine.height = 48;
    fine.pixels.assign(96 * 3 * 48, 0);
    fine.pelsPerMetre = 5669;
    examined = ExaminePictureFile(Write("fine.bmp", MakeBmp(fine)), prompter_, table_, {120, 144});
    ASSERT_TRUE(examined);
    EXPECT_EQ(examined->naturalWidth, 960);
    EXPECT_EQ(examined->naturalHeight, -480);

    examined = ExaminePictureFile(WriteColourPicture("pngflt32", "c.png"), prompter_, table_,
                                  {96, 96});
    ASSERT_TRUE(examined);
    EXPECT_EQ(examined->formatIndex, kReaderPng);
    EXPECT_EQ(examined->naturalWidth, 45);
    EXPECT_EQ(examined->naturalHeight, -30);

    examined = ExaminePictureFile(WriteColourPicture("tgaflt32", "c.TGA"), prompter_, table_,
                                  {96, 96});
    ASSERT_TRUE(examined);
    EXPECT_EQ(examined->formatIndex, kReaderTga);
    EXPECT_EQ(examined->naturalWidth, 45);
    EXPECT_TRUE(prompter_.shown.empty());
}

TEST_F(PictureHostTest, ExtensionsMatchWhateverTheirCase) {
    for (const char* name : {"PHOTO.BMP", "photo.bmp", "a.b.Bmp"}) {
        auto examined = ExaminePictureFile(Write(name, BlankBmp(2, 2)), prompter_, table_, {});
        ASSERT_TRUE(examined) << name;
        EXPECT_EQ(examined->formatIndex, kReaderBmp);
    }
    EXPECT_TRUE(prompter_.shown.empty());
}

TEST_F(PictureHostTest, KnownExtensionReportsTheReadersCode) {
    EXPECT_FALSE(ExaminePictureFile(folder_.Path("gone.bmp"), prompter_, table_, {}));
    EXPECT_FALSE(ExaminePictureFile(Write("junk.png", {1, 2, 3, 4, 5, 6, 7, 8, 9}), prompter_,
                                    table_, {}));
    BmpSpec v5{.width = 2, .height = 2, .bitCount = 24, .headerSize = 124};
    EXPECT_FALSE(ExaminePictureFile(Write("v5.bmp", MakeBmp(v5)), prompter_, table_, {}));
    ASSERT_EQ(prompter_.shown.size(), 3u);
    EXPECT_EQ(prompter_.shown[0].text, "Cannot open file '" + folder_.Path("gone.bmp") + "'");
    EXPECT_EQ(prompter_.shown[0].style.icon, MessageIcon::Exclamation);
    EXPECT_EQ(prompter_.shown[1].text,
              "File '" + folder_.Path("junk.png") + "' appears to be corrupted or badly formed");
    EXPECT_EQ(prompter_.shown[2].text,
              "File '" + folder_.Path("v5.bmp") + "' appears to be corrupted or badly formed");
}

TEST_F(PictureHostTest, UnknownExtensionTriesTheReadersInOrder) {
    // A BMP under another name is taken by the built-in reader, quietly.
    auto examined = ExaminePictureFile(Write("photo.jpeg", BlankBmp(4, 4)), prompter_, table_, {});
    ASSERT_TRUE(examined);
    EXPECT_EQ(examined->formatIndex, kReaderBmp);
    examined = ExaminePictureFile(Write("noextension", BlankBmp(4, 4)), prompter_, table_, {});
    ASSERT_TRUE(examined);
    EXPECT_TRUE(prompter_.shown.empty());

    // Readers that are not installed (JPG here) are passed over quietly.
    examined = ExaminePictureFile(WriteColourPicture("pngflt32", "c.jpeg"), prompter_, table_, {});
    ASSERT_TRUE(examined);
    EXPECT_EQ(examined->formatIndex, kReaderPng);
    EXPECT_TRUE(prompter_.shown.empty());
}

TEST_F(PictureHostTest, UnknownExtensionFoundByALaterReaderOrByNone) {
    // Stand-ins for the JPG and PCX plugins, so that every row can load.
    TempFolder plugins;
    const std::string bin = REELCARD_BIN_DIR;
    for (auto [from, to] : {std::pair{"tgaflt32", "jpgflt32"}, std::pair{"tgaflt32", "pcxflt32"},
                            std::pair{"pngflt32", "pngflt32"}, std::pair{"tgaflt32", "tgaflt32"}}) {
        ASSERT_TRUE(QFile::link(QString::fromStdString(bin + "/" + from + ".so"),
                                QString::fromStdString(plugins.Path(std::string(to) + ".so"))));
    }
    PictureReaderTable table(plugins.Path(""));

    // PNG bytes under a foreign name: the built-in reader and the TGA
    // stand-ins refuse them quietly, the PNG row takes them.
    auto examined = ExaminePictureFile(WriteColourPicture("pngflt32", "c.picture"), prompter_,
                                       table, {});
    ASSERT_TRUE(examined);
    EXPECT_EQ(examined->formatIndex, kReaderPng);
    EXPECT_TRUE(prompter_.shown.empty());

    // An empty file is nobody's.
    const std::string empty = Write("empty.dat", {});
    EXPECT_FALSE(ExaminePictureFile(empty, prompter_, table, {}));
    ASSERT_EQ(prompter_.shown.size(), 1u);
    EXPECT_EQ(prompter_.LastText(), "File '" + empty + "' is NOT a supported graphics format");
    EXPECT_EQ(prompter_.shown[0].style.icon, MessageIcon::Exclamation);
}

TEST_F(PictureHostTest, ReportReaderErrorMessages) {
    ReportReaderError(1, "a.bmp", prompter_);
    ReportReaderError(2, "a.bmp", prompter_);
    ReportReaderError(3, "a.bmp", prompter_);
    for (uint16_t quiet : {0, 5, 6, 7, 8, 99}) ReportReaderError(quiet, "a.bmp", prompter_);
    ASSERT_EQ(prompter_.shown.size(), 3u);
    EXPECT_EQ(prompter_.shown[0].text, "Cannot open file 'a.bmp'");
    EXPECT_EQ(prompter_.shown[1].text, "File 'a.bmp' appears to be corrupted or badly formed");
    EXPECT_EQ(prompter_.shown[2].text, "Cannot read file 'a.bmp' from disk");
    for (const auto& shown : prompter_.shown) EXPECT_EQ(shown.style.icon, MessageIcon::Exclamation);
    EXPECT_EQ(prompter_.closeRequests, 0);

    ReportReaderError(4, "a.bmp", prompter_);
    EXPECT_EQ(prompter_.LastText(),
              "There is not enough memory to draw the picture 'a.bmp'; the liner is drawn without it");
    EXPECT_EQ(prompter_.closeRequests, 0);
}

TEST_F(PictureHostTest, APictureThatFindsNoMemoryFailsAloneAndIsToldOnce) {
    // A reader whose allocation fails, as a picture too large for the memory there is.
    PictureReaderTable table(REELCARD_BIN_DIR);
    PictureReader& row = table.Row(kReaderTga);
    row.loaded = true;
    row.read = [](const char*) -> PackedDibHandle { return nullptr; };
    row.error = [](char*) -> uint16_t { return PluginErrorMemory; };
    Picture big, small;
    big.fileName = Write("big.tga", {1, 2, 3});
    big.formatIndex = kReaderTga;
    small.fileName = Write("small.bmp", ColourBmp());
    PictureImages images;
    EXPECT_FALSE(images.anyFailed());
    EXPECT_FALSE(images.Get(0, big, prompter_, table).picture);
    EXPECT_FALSE(images.Get(0, big, prompter_, table).picture);
    ExpectColours(images.Get(1, small, prompter_, table));
    ASSERT_EQ(prompter_.shown.size(), 1u);
    EXPECT_EQ(prompter_.LastText(), "There is not enough memory to draw the picture '" + big.fileName +
                                        "'; the liner is drawn without it");
    EXPECT_EQ(prompter_.closeRequests, 0);
    EXPECT_TRUE(images.anyFailed());
}

TEST_F(PictureHostTest, LoadPictureImageDecodesEveryFormat) {
    Picture picture;
    picture.fileName = Write("c.bmp", ColourBmp());
    picture.formatIndex = kReaderBmp;
    ExpectColours(LoadPictureImage(picture, prompter_, table_).get());

    picture.fileName = WriteColourPicture("tgaflt32", "c.tga");
    picture.formatIndex = kReaderTga;
    ExpectColours(LoadPictureImage(picture, prompter_, table_).get());

    picture.fileName = WriteColourPicture("pngflt32", "c.png");
    picture.formatIndex = kReaderPng;
    ExpectColours(LoadPictureImage(picture, prompter_, table_).get());
    EXPECT_TRUE(prompter_.shown.empty());

    // The reader stored with the picture decides, not the name.
    picture.formatIndex = kReaderBmp;
    EXPECT_EQ(LoadPictureImage(picture, prompter_, table_), nullptr);
    EXPECT_EQ(prompter_.LastText(),
              "File '" + picture.fileName + "' appears to be corrupted or badly formed");
}

TEST_F(PictureHostTest, LoadPictureImageFailures) {
    Picture picture;
    picture.fileName = folder_.Path("moved.bmp");
    EXPECT_EQ(LoadPictureImage(picture, prompter_, table_), nullptr);
    EXPECT_EQ(prompter_.LastText(), "Cannot open file '" + picture.fileName + "'");

    // A reader index from a damaged file, past the table's end.
    picture.formatIndex = 200;
    EXPECT_EQ(LoadPictureImage(picture, prompter_, table_), nullptr);
    EXPECT_EQ(prompter_.LastText(), "File '" + picture.fileName + "' is NOT a supported graphics format");

    // A named picture whose reader is not installed: the type, in plain words.
    // (Run alone, as ctest runs it: another test of this program may have
    // loaded the build's JPG reader already, and the process keeps it.)
    if (void* loaded = dlopen("jpgflt32.so", RTLD_NOW | RTLD_NOLOAD)) {
        dlclose(loaded);
        GTEST_SKIP() << "the JPG reader is loaded in this process already";
    }
    PictureReaderTable bare(folder_.Path(""));  // no plugins beside it
    picture.formatIndex = kReaderJpg;
    EXPECT_EQ(LoadPictureImage(picture, prompter_, bare), nullptr);
    EXPECT_EQ(prompter_.LastText(), "JPEG pictures are not supported on this computer, so '" + picture.fileName +
                                        "' cannot be used. (Their reader, jpgflt32.so, is not installed.)");
    EXPECT_EQ(prompter_.shown.back().style.icon, MessageIcon::Stop);
    // And such a type is not offered by the Add Picture dialog.
    const auto pairs = PictureFilterPairs(bare);
    EXPECT_EQ(pairs.front().second.find("jpg"), std::string::npos);
    EXPECT_NE(pairs.front().second.find("*.bmp"), std::string::npos);
}

TEST_F(PictureHostTest, PictureImagesDecodeOnceAndDoNotRetryFailures) {
    Picture a, b;
    a.fileName = Write("a.bmp", ColourBmp());
    b.fileName = folder_.Path("b.bmp");  // not there yet
    PictureImages images;

    const PictureLookup first = images.Get(0, a, prompter_, table_);
    ExpectColours(first);
    // Another user of the same file shares the decoded picture.
    PictureImages printer;
    EXPECT_EQ(printer.Get(0, a, prompter_, table_).picture, first.picture);
    EXPECT_EQ(images.Get(0, a, prompter_, table_).picture, first.picture);  // kept, not read again

    // A picture that cannot be read is reported once, not on every paint;
    // once its file is there (or changes) it is read afresh.
    EXPECT_FALSE(images.Get(1, b, prompter_, table_).picture);
    EXPECT_FALSE(images.Get(1, b, prompter_, table_).picture);
    EXPECT_EQ(prompter_.shown.size(), 1u);
    Write("b.bmp", BlankBmp(8, 8));
    EXPECT_TRUE(images.Get(1, b, prompter_, table_).picture);
    EXPECT_TRUE(images.Has(1, b.fileName));

    // A file changed on disk is another picture.
    Write("a.bmp", BlankBmp(4, 4));
    const PictureLookup changed = images.Get(0, a, prompter_, table_);
    ASSERT_TRUE(changed.picture);
    EXPECT_NE(changed.picture, first.picture);
    EXPECT_EQ(changed.picture->image().size(), QSize(4, 4));

    // Deleting picture 0 moves picture 1's entry down.
    images.Erase(0);
    EXPECT_TRUE(images.Has(0, b.fileName));
    EXPECT_FALSE(images.Has(1, b.fileName));
    images.Clear();
    EXPECT_FALSE(images.Has(0, b.fileName));
}

TEST_F(PictureHostTest, BackgroundDecodingShowsAPlaceholderUntilReady) {
    Picture a;
    a.fileName = Write("slow.bmp", ColourBmp());
    int argc = 1;
    char name[] = "test";
    char* argv[] = {name, nullptr};
    std::unique_ptr<QCoreApplication> app;
    if (!QCoreApplication::instance()) app = std::make_unique<QCoreApplication>(argc, argv);
    int ready = 0;
    PictureImages images(true, [&ready] { ++ready; });
    PictureLookup found = images.Get(0, a, prompter_, table_);
    for (int i = 0; i < 500 && ready == 0; ++i) {
        QCoreApplication::processEvents();
        QThread::msleep(2);
    }
    EXPECT_EQ(ready, 1);
    found = images.Get(0, a, prompter_, table_);
    EXPECT_FALSE(found.pending);
    ExpectColours(found);
}

TEST_F(PictureHostTest, ScaledCopiesAreMadeOncePerSize) {
    Picture a;
    a.fileName = Write("scaled.bmp", BlankBmp(40, 20));
    PictureImages images;
    const PictureLookup found = images.Get(0, a, prompter_, table_);
    ASSERT_TRUE(found.picture);
    const QImage copy = found.picture->ScaledTo(QSize(20, 10));
    EXPECT_EQ(copy.size(), QSize(20, 10));
    EXPECT_EQ(found.picture->ScaledTo(QSize(20, 10)).cacheKey(), copy.cacheKey());
    // Drawn on an image, the copy lands where the picture goes, unscaled.
    QImage target(100, 100, QImage::Format_RGB32);
    target.fill(Qt::red);
    {
        QPainter painter(&target);
        QtSurface surface(painter, 1440, 1440);  // one twip a pixel
        DrawPicture(surface, 10, -20, 20, -10, *found.picture);
    }
    EXPECT_NE(target.pixel(15, 25), qRgb(255, 0, 0));
    EXPECT_EQ(target.pixel(35, 25), qRgb(255, 0, 0));
}

// Records what is drawn; everything else does nothing.
class RecordingSurface : public Surface {
public:
    struct Drawn {
        QImage image;
        int x, y, width, height;
    };
    std::vector<Drawn> drawn;

    SurfaceOrigin MoveOrigin(int, int) override { return {}; }
    void RestoreOrigin(const SurfaceOrigin&) override {}
    SurfacePen Pen() const override { return {}; }
    void SetPen(const SurfacePen&) override {}
    SurfaceBrush Brush() const override { return {}; }
    void SetBrush(const SurfaceBrush&) override {}
    LogFont Font() const override { return {}; }
    void SetFont(const LogFont&) override {}
    SurfaceColor TextColor() const override { return 0; }
    void SetTextColor(SurfaceColor) override {}
    SurfaceColor BackgroundColor() const override { return 0; }
    void SetBackgroundColor(SurfaceColor) override {}
    BackgroundMode Background() const override { return BackgroundMode::Transparent; }
    void SetBackground(BackgroundMode) override {}
    int TextExtent(std::string_view) override { return 0; }
    SurfaceFontMetrics Metrics() override { return {}; }
    void DrawText(int, int, std::string_view) override {}
    void Polyline(const SurfacePoint*, size_t) override {}
    void FillRect(int, int, int, int, const SurfaceBrush&) override {}
    void RoundRect(int, int, int, int, int, int) override {}
    void DrawImage(const QImage& image, int x, int y, int width, int height) override {
        drawn.push_back({image, x, y, width, height});
    }
};

TEST_F(PictureHostTest, DrawPictureStretchesTheWholeBitmap) {
    Picture picture;
    picture.fileName = Write("c.bmp", ColourBmp());
    DibPtr image = LoadPictureImage(picture, prompter_, table_);
    RecordingSurface surface;
    ASSERT_TRUE(DrawPicture(surface, 720, -360, 2880, -1440, image.get()));
    ASSERT_EQ(surface.drawn.size(), 1u);
    const auto& drawn = surface.drawn[0];
    EXPECT_EQ(drawn.x, 720);
    EXPECT_EQ(drawn.y, -360);
    EXPECT_EQ(drawn.width, 2880);
    EXPECT_EQ(drawn.height, -1440);
    EXPECT_EQ(drawn.image.size(), QSize(3, 2));
    EXPECT_EQ(drawn.image.pixel(0, 0) & 0xFFFFFF, 0xFF0000u);  // top row first
    EXPECT_EQ(drawn.image.pixel(2, 1) & 0xFFFFFF, 0x808080u);

    EXPECT_FALSE(DrawPicture(surface, 0, 0, 10, 10, nullptr));
    EXPECT_EQ(surface.drawn.size(), 1u);
}

}  // namespace

TEST_F(PictureHostTest, RelativeNamesAreFoundBesideTheLiner) {
    Write("beside.bmp", ColourBmp());
    SetPictureBaseFolder(folder_.Path(""));
    Picture p;
    p.fileName = "beside.bmp";
    EXPECT_EQ(ResolvePicturePath("beside.bmp"), folder_.Path("") + "/beside.bmp");
    EXPECT_EQ(ResolvePicturePath("/abs/x.bmp"), "/abs/x.bmp");
    EXPECT_EQ(ResolvePicturePath("missing.bmp"), "missing.bmp");
    PictureImages images;
    ExpectColours(images.Get(0, p, prompter_, table_));
    SetPictureBaseFolder("");
}

TEST(FitPictureInsideTest, LargestRectangleOfItsProportionsCentred) {
    // Wide picture in a wide area: the height decides.
    PicturePlace fitted = FitPictureInside({0, 100, 1000, 300}, 200, -100);
    EXPECT_EQ(fitted.width, 600);
    EXPECT_EQ(fitted.height, 300);
    EXPECT_EQ(fitted.left, 200);
    EXPECT_EQ(fitted.depth, 100);
    // Tall picture: the width is what is left over.
    fitted = FitPictureInside({50, 0, 1000, 1000}, 100, -400);
    EXPECT_EQ(fitted.width, 250);
    EXPECT_EQ(fitted.height, 1000);
    EXPECT_EQ(fitted.left, 50 + 375);
    EXPECT_EQ(fitted.depth, 0);
    // Without a natural size, the whole area.
    fitted = FitPictureInside({1, 2, 3, 4}, 0, 0);
    EXPECT_EQ(fitted.width, 3);
    EXPECT_EQ(fitted.depth, 2);
}
