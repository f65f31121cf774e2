// webpflt32, loaded from the build's output folder as the program loads it.
// The pictures are made here with libwebp, and the plugin's pixels are
// compared with libwebp's own decode of the same bytes.
#include <gtest/gtest.h>

#include <webp/decode.h>
#include <webp/encode.h>
#include <webp/mux.h>

#include "plugin_test_support.h"

using namespace plugin_test;

namespace {

std::vector<uint8_t> Bgra(int w, int h, bool withAlpha) {
    std::vector<uint8_t> v(static_cast<size_t>(w) * h * 4);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            uint8_t* p = v.data() + (static_cast<size_t>(y) * w + x) * 4;
            p[0] = static_cast<uint8_t>(x * 9);
            p[1] = static_cast<uint8_t>(y * 13);
            p[2] = static_cast<uint8_t>((x * y * 7) & 0xFF);
            p[3] = withAlpha ? static_cast<uint8_t>((x * 31 + y * 17) & 0xFF) : 255;
        }
    }
    return v;
}

std::vector<uint8_t> Taken(uint8_t* data, size_t size) {
    std::vector<uint8_t> v(data, data + size);
    WebPFree(data);
    return v;
}

std::vector<uint8_t> Lossless(int w, int h, bool alpha) {
    const std::vector<uint8_t> px = Bgra(w, h, alpha);
    uint8_t* out = nullptr;
    const size_t size = WebPEncodeLosslessBGRA(px.data(), w, h, w * 4, &out);
    return Taken(out, size);
}

std::vector<uint8_t> Lossy(int w, int h, bool alpha) {
    const std::vector<uint8_t> px = Bgra(w, h, alpha);
    std::vector<uint8_t> bgr;
    for (size_t i = 0; i < px.size(); i += 4) bgr.insert(bgr.end(), px.begin() + i, px.begin() + i + 3);
    uint8_t* out = nullptr;
    const size_t size = alpha ? WebPEncodeBGRA(px.data(), w, h, w * 4, 80, &out)
                              : WebPEncodeBGR(bgr.data(), w, h, w * 3, 80, &out);
    return Taken(out, size);
}

class WebpPluginTest : public ::testing::Test {
protected:
    void SetUp() override {
        plugin_ = &LoadPlugin("webpflt32");
        ASSERT_TRUE(plugin_->Loaded()) << plugin_->loadError;
    }
    DibPtr Read(const std::vector<uint8_t>& bytes) {
        const std::string path = dir_.Path("picture.webp");
        WriteBytes(path, bytes);
        return DibPtr(plugin_->readGraphicFile(path.c_str()));
    }
    DibPtr Info(const std::vector<uint8_t>& bytes) {
        const std::string path = dir_.Path("picture.webp");
        WriteBytes(path, bytes);
        return DibPtr(plugin_->getFileInformation(path.c_str()));
    }
    uint16_t Error() const { return plugin_->getError(nullptr); }

    // The plugin's pixels against libwebp's decode, blended over white.
    void ExpectSameAsLibrary(const std::vector<uint8_t>& bytes) {
        int w = 0, h = 0;
        uint8_t* rgba = WebPDecodeRGBA(bytes.data(), bytes.size(), &w, &h);
        ASSERT_TRUE(rgba);
        DibPtr dib = Read(bytes);
        ASSERT_TRUE(dib) << Error();
        DibReader r(dib.get());
        ASSERT_EQ(r.Width(), w);
        ASSERT_EQ(r.Height(), h);
        ASSERT_EQ(r.BitCount(), 24);
        auto over = [](unsigned c, unsigned a) { return uint8_t((c * a + 255u * (255u - a) + 127u) / 255u); };
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const uint8_t* p = rgba + (static_cast<size_t>(y) * w + x) * 4;
                ASSERT_EQ(r.Colour(x, y), (Rgb{over(p[0], p[3]), over(p[1], p[3]), over(p[2], p[3])}))
                    << x << "," << y;
            }
        }
        WebPFree(rgba);
    }

    const Plugin* plugin_ = nullptr;
    TempDir dir_;
};

TEST_F(WebpPluginTest, DescribesItself) {
    EXPECT_STREQ(plugin_->getFileExtension(), "WEBP");
    EXPECT_EQ(plugin_->getLibraryVersion(), 256);
}

TEST_F(WebpPluginTest, LossyAndLosslessMatchTheLibraryAlphaOverWhite) {
    ExpectSameAsLibrary(Lossless(23, 11, false));
    ExpectSameAsLibrary(Lossless(23, 11, true));
    ExpectSameAsLibrary(Lossy(40, 17, false));
    ExpectSameAsLibrary(Lossy(40, 17, true));
    // Lossless pictures come out exactly as they went in.
    DibPtr dib = Read(Lossless(3, 2, false));
    ASSERT_TRUE(dib);
    const std::vector<uint8_t> px = Bgra(3, 2, false);
    EXPECT_EQ(DibReader(dib.get()).Colour(2, 1), (Rgb{px[(3 + 2) * 4 + 2], px[(3 + 2) * 4 + 1], px[(3 + 2) * 4]}));
    DibPtr info = Info(Lossless(23, 11, true));
    ASSERT_TRUE(info);
    EXPECT_EQ(DibReader(info.get()).Width(), 23);
    EXPECT_EQ(DibReader(info.get()).BitCount(), 24);
}

TEST_F(WebpPluginTest, AnAnimationShowsItsFirstFrame) {
    WebPAnimEncoderOptions options;
    ASSERT_TRUE(WebPAnimEncoderOptionsInit(&options));
    WebPAnimEncoder* encoder = WebPAnimEncoderNew(8, 6, &options);
    ASSERT_TRUE(encoder);
    WebPConfig config;
    ASSERT_TRUE(WebPConfigInit(&config));
    config.lossless = 1;
    for (int frame = 0; frame < 2; ++frame) {
        WebPPicture picture;
        ASSERT_TRUE(WebPPictureInit(&picture));
        picture.use_argb = 1;
        picture.width = 8;
        picture.height = 6;
        ASSERT_TRUE(WebPPictureAlloc(&picture));
        const uint32_t colour = frame == 0 ? 0xFFFF0000u : 0xFF0000FFu;  // red, then blue
        for (int i = 0; i < 8 * 6; ++i) picture.argb[i] = colour;
        ASSERT_TRUE(WebPAnimEncoderAdd(encoder, &picture, frame * 100, &config));
        WebPPictureFree(&picture);
    }
    ASSERT_TRUE(WebPAnimEncoderAdd(encoder, nullptr, 200, nullptr));
    WebPData data;
    WebPDataInit(&data);
    ASSERT_TRUE(WebPAnimEncoderAssemble(encoder, &data));
    WebPAnimEncoderDelete(encoder);
    const std::vector<uint8_t> bytes(data.bytes, data.bytes + data.size);
    WebPDataClear(&data);

    DibPtr dib = Read(bytes);
    ASSERT_TRUE(dib) << Error();
    DibReader r(dib.get());
    EXPECT_EQ(r.Width(), 8);
    EXPECT_EQ(r.Height(), 6);
    EXPECT_EQ(r.Colour(0, 0), (Rgb{255, 0, 0}));
    EXPECT_EQ(r.Colour(7, 5), (Rgb{255, 0, 0}));
}

TEST_F(WebpPluginTest, TruncatedAndDamagedFilesFailCleanlyAtEveryCut) {
    const std::vector<uint8_t> whole = Lossy(9, 6, true);
    for (size_t cut = 0; cut < whole.size(); ++cut) {
        DibPtr dib = Read(std::vector<uint8_t>(whole.begin(), whole.begin() + static_cast<ptrdiff_t>(cut)));
        EXPECT_FALSE(dib) << cut;
        const uint16_t code = Error();
        EXPECT_TRUE(code == 2 || code == 3) << cut << " " << code;
    }
    for (size_t at = 0; at < whole.size(); at += 5) {
        std::vector<uint8_t> bad = whole;
        bad[at] ^= 0xA5;
        DibPtr dib = Read(bad);
        if (!dib) {
            EXPECT_NE(Error(), 4) << at;
        }
    }
    EXPECT_EQ(Read({'R', 'I', 'F', 'X', 0, 0, 0, 0, 'W', 'E', 'B', 'P'}), nullptr);
    EXPECT_EQ(Error(), 2);
}

TEST_F(WebpPluginTest, AGiantPictureClaimedInAFewBytesAllocatesNothing) {
    std::vector<uint8_t> bytes = Lossless(1, 1, false);
    ASSERT_GT(bytes.size(), 25u);
    ASSERT_EQ(bytes[20], 0x2F);  // the lossless signature, then 14 bits each of width - 1 and height - 1
    const uint32_t bits = 16382u | (16382u << 14);
    for (int i = 0; i < 4; ++i) bytes[21 + i] = static_cast<uint8_t>(bits >> (8 * i));
    DibPtr info = Info(bytes);
    ASSERT_TRUE(info);
    EXPECT_EQ(DibReader(info.get()).Width(), 16383);
    EXPECT_EQ(Read(bytes), nullptr);
    EXPECT_EQ(Error(), 2);
}

// An animation of one 1 x 1 frame on a `width` x `height` canvas, padded
// with an unknown chunk to `size` bytes (so that it looks like a file large
// enough for its canvas).
std::vector<uint8_t> CanvasBomb(uint32_t width, uint32_t height, size_t size) {
    const std::vector<uint8_t> frameBytes = Lossless(1, 1, false);
    WebPMux* mux = WebPMuxNew();
    WebPMuxFrameInfo frame{};
    frame.bitstream = {frameBytes.data(), frameBytes.size()};
    frame.duration = 100;
    frame.id = WEBP_CHUNK_ANMF;
    frame.dispose_method = WEBP_MUX_DISPOSE_NONE;
    frame.blend_method = WEBP_MUX_NO_BLEND;
    EXPECT_EQ(WebPMuxPushFrame(mux, &frame, 1), WEBP_MUX_OK);
    const WebPMuxAnimParams params = {0xFFFFFFFFu, 0};
    EXPECT_EQ(WebPMuxSetAnimationParams(mux, &params), WEBP_MUX_OK);
    EXPECT_EQ(WebPMuxSetCanvasSize(mux, static_cast<int>(width), static_cast<int>(height)), WEBP_MUX_OK);
    const std::vector<uint8_t> pad(size > 200 ? size - 200 : 1, 0);
    const WebPData padding = {pad.data(), pad.size()};
    EXPECT_EQ(WebPMuxSetChunk(mux, "ZPAD", &padding, 1), WEBP_MUX_OK);
    WebPData out;
    WebPDataInit(&out);
    EXPECT_EQ(WebPMuxAssemble(mux, &out), WEBP_MUX_OK);
    WebPMuxDelete(mux);
    std::vector<uint8_t> bytes(out.bytes, out.bytes + out.size);
    WebPDataClear(&out);
    KeepBomb("canvas-" + std::to_string(width) + ".webp", bytes);
    return bytes;
}

TEST_F(WebpPluginTest, AnAnimationsCanvasCountsAgainstThePixelLimit) {
    // 20000 x 20000 in 300 KB: gigabytes of canvases for one pixel.
    const std::vector<uint8_t> bomb = CanvasBomb(20000, 20000, 300 * 1024);
    ASSERT_TRUE(Info(bomb));
    EXPECT_EQ(Read(bomb), nullptr);
    EXPECT_EQ(Error(), 2);
    (void)CanvasBomb(65535, 65535, 3300 * 1024);

    // Two canvases of four bytes a pixel and the bitmap: a canvas counts four
    // times, a still picture once.
    const std::vector<uint8_t> animation = CanvasBomb(1000, 800, 1000);
    ASSERT_TRUE(Read(animation)) << Error();
    PixelLimit limit("3");
    EXPECT_EQ(Read(animation), nullptr);
    EXPECT_EQ(Error(), 2);
    EXPECT_TRUE(Read(Lossy(1000, 800, false))) << Error();
}

TEST_F(WebpPluginTest, WritesLosslessPicturesOfEveryDepth) {
    const std::vector<Rgb> palette = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {9, 9, 9}};
    DibPtr indexed = MakeIndexedDib(4, 2, 8, palette, {0, 1, 2, 3, 3, 2, 1, 0});
    const std::string path = dir_.Path("written.webp");
    ASSERT_EQ(plugin_->writeGraphicFile(path.c_str(), indexed.get()), 1);
    DibPtr back(plugin_->readGraphicFile(path.c_str()));
    ASSERT_TRUE(back);
    DibReader r(back.get());
    EXPECT_EQ(r.Colour(0, 0), palette[0]);
    EXPECT_EQ(r.Colour(3, 0), palette[3]);
    EXPECT_EQ(r.Colour(1, 1), palette[2]);
}

}  // namespace
