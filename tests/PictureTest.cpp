#include "export/JpegWriter.h"
#include "export/view/BmpImage.h"
#include "export/view/DBGridCellParams.h"
#include "export/view/GridGlyphs.h"
#include "tests/support/PictureTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <jpeglib.h>

using namespace pictures;

namespace {

TRgb PixelAt(const TRgbImage& img, int x, int y) {
    const size_t at =
        (static_cast<size_t>(y) * static_cast<size_t>(img.Width) + static_cast<size_t>(x)) * 3;
    return {img.Pixels[at], img.Pixels[at + 1], img.Pixels[at + 2]};
}

void ExpectPixel(const TRgbImage& img, int x, int y, TRgb c) {
    const TRgb p = PixelAt(img, x, y);
    EXPECT_EQ(p.R, c.R) << "red at " << x << "," << y;
    EXPECT_EQ(p.G, c.G) << "green at " << x << "," << y;
    EXPECT_EQ(p.B, c.B) << "blue at " << x << "," << y;
}

TRgb Gradient(int x, int y) {
    return {static_cast<uint8_t>(x * 40), static_cast<uint8_t>(y * 50),
            static_cast<uint8_t>(200 - x)};
}

std::string ErrorOf(const std::string& data) {
    TRgbImage img;
    try {
        LoadBmpImage(data, img);
    } catch (const EInvalidGraphic& e) {
        EXPECT_TRUE(img.Empty());
        return e.what();
    }
    return "";
}

} // namespace

TEST(BmpImage, TrueColourBottomUpAndTopDown) {
    for (bool topDown : {false, true}) {
        TRgbImage img;
        LoadBmpImage(MakeBmp(5, 3, 24, topDown, Gradient), img);
        ASSERT_EQ(img.Width, 5);
        ASSERT_EQ(img.Height, 3);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x)
                ExpectPixel(img, x, y, Gradient(x, y));
    }
    TRgbImage img;
    LoadBmpImage(MakeBmp(3, 2, 32, false, Gradient), img);
    ExpectPixel(img, 2, 1, Gradient(2, 1));
    ExpectPixel(img, 0, 0, Gradient(0, 0));
}

TEST(BmpImage, PaletteDepths) {
    const std::vector<TRgb> pal = {{0, 0, 0},    {255, 0, 0},  {0, 255, 0},  {0, 0, 255},
                                   {9, 9, 9},    {10, 20, 30}, {1, 2, 3},    {200, 100, 50},
                                   {7, 7, 7},    {8, 8, 8},    {11, 11, 11}, {12, 12, 12},
                                   {13, 13, 13}, {14, 14, 14}, {15, 15, 15}, {250, 250, 250}};
    struct TCase {
        int Bits;
        size_t Colors;
    };
    for (TCase c : {TCase{1, 2}, TCase{4, 16}, TCase{8, 16}}) {
        auto index = [&](int x, int y) { return static_cast<int>((x + 3 * y) % c.Colors); };
        TRgbImage img;
        // 13 pixels: rows end in the middle of a byte and need padding.
        LoadBmpImage(
            MakeBmp(13, 3, c.Bits, c.Bits == 4, {},
                    std::vector<TRgb>(pal.begin(), pal.begin() + static_cast<long>(c.Colors)),
                    index),
            img);
        ASSERT_EQ(img.Width, 13) << c.Bits;
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 13; ++x)
                ExpectPixel(img, x, y, pal[static_cast<size_t>(index(x, y))]);
    }
}

TEST(BmpImage, GraphicHeaderInFrontIsSkipped) {
    const std::string bmp = SolidBmp(2, 2, {1, 2, 3});
    std::string wrapped(8, '\0');
    Put16(wrapped, 0, 1);
    Put16(wrapped, 2, 0x0100);
    Put32(wrapped, 4, static_cast<uint32_t>(bmp.size()));
    TRgbImage img;
    LoadBmpImage(wrapped + bmp, img);
    ExpectPixel(img, 1, 1, {1, 2, 3});
}

TEST(BmpImage, CorruptDataRaisesAndNeverReadsOutside) {
    const std::string good = MakeBmp(4, 4, 24, false, Gradient);
    EXPECT_NE(ErrorOf(""), "");
    EXPECT_NE(ErrorOf("GIF89a not a bitmap at all"), "");
    EXPECT_NE(ErrorOf("\xFF\xD8\xFF\xE0 jpeg"), "");
    // Every truncation fails cleanly (ASan checks the reads).
    for (size_t n = 0; n < good.size(); ++n)
        EXPECT_NE(ErrorOf(good.substr(0, n)), "") << n;

    auto patched = [&](size_t at, uint32_t v, int bytes = 4) {
        std::string s = good;
        bytes == 2 ? Put16(s, at, v) : Put32(s, at, v);
        return s;
    };
    EXPECT_NE(ErrorOf(patched(10, 0xFFFFFFF0)), "");  // pixel offset past the end
    EXPECT_NE(ErrorOf(patched(10, 20)), "");          // pixel offset inside the header
    EXPECT_NE(ErrorOf(patched(14, 41)), "");          // unknown header size
    EXPECT_NE(ErrorOf(patched(18, 0)), "");           // width 0
    EXPECT_NE(ErrorOf(patched(18, 0x80000000u)), ""); // negative width
    EXPECT_NE(ErrorOf(patched(22, 0)), "");           // height 0
    EXPECT_NE(ErrorOf(patched(22, 0x80000000u)), ""); // the most negative height
    EXPECT_NE(ErrorOf(patched(18, 0x7FFFFFFF)), "");  // huge width
    EXPECT_NE(ErrorOf(patched(22, 0x7FFFFFFF)), "");  // huge height
    EXPECT_NE(ErrorOf(patched(26, 2, 2)), "");        // two planes
    EXPECT_NE(ErrorOf(patched(28, 7, 2)), "");        // 7 bits per pixel
    EXPECT_NE(ErrorOf(patched(30, 1)), "");           // run-length compressed
    EXPECT_NE(ErrorOf(patched(30, 3)), "");           // bit fields with 24 bits
    EXPECT_NE(ErrorOf(patched(30, 4)), "");           // embedded JPEG

    // A palette index past the palette's end.
    const std::string pal = MakeBmp(2, 1, 8, false, {}, {{1, 1, 1}, {2, 2, 2}},
                                    [](int x, int) { return x == 0 ? 1 : 5; });
    EXPECT_NE(ErrorOf(pal), "");
    // More palette colours than the depth allows.
    std::string many =
        MakeBmp(2, 1, 1, false, {}, {{0, 0, 0}, {9, 9, 9}}, [](int x, int) { return x; });
    Put32(many, 46, 3);
    EXPECT_NE(ErrorOf(many), "");
    EXPECT_EQ(ErrorOf(good), "");
}

TEST(GridGlyphs, SixGlyphsOfTheirSizes) {
    struct TCase {
        int Kind;
        const char* Name;
        int W, H;
    };
    for (TCase c : {TCase{ikBlob, "DBG_BLOB", 16, 14}, TCase{ikMemo, "DBG_MEMO", 16, 14},
                    TCase{ikGraphic, "DBG_PIC", 16, 14}, TCase{ikOle, "DBG_OLE", 16, 14},
                    TCase{ikTrue, "DBG_TRUE", 13, 13}, TCase{ikFalse, "DBG_FALSE", 13, 13}}) {
        const TGridGlyph* g = GridGlyphOfKind(c.Kind);
        ASSERT_NE(g, nullptr) << c.Name;
        EXPECT_EQ(g, FindGridGlyph(c.Name));
        EXPECT_STREQ(GridGlyphName(c.Kind), c.Name);
        EXPECT_EQ(g->Width, c.W);
        EXPECT_EQ(g->Height, c.H);
        // Every row is drawn to the full width with known colours.
        int opaque = 0;
        for (int y = 0; y < g->Height; ++y) {
            ASSERT_EQ(std::strlen(g->Rows[y]), static_cast<size_t>(g->Width))
                << c.Name << " row " << y;
            for (int x = 0; x < g->Width; ++x) {
                const char ch = g->Rows[y][x];
                EXPECT_TRUE(ch == '.' || (GridGlyphPixel(*g, x, y) >> 24) != 0)
                    << c.Name << " unknown colour '" << ch << "'";
                opaque += ch != '.';
            }
        }
        EXPECT_GT(opaque, g->Width * g->Height / 2) << c.Name;
        TRgbImage img;
        RenderGridGlyph(*g, clRed, img);
        EXPECT_EQ(img.Pixels.size(), static_cast<size_t>(c.W * c.H * 3));
    }
    for (int kind : {-2, -1, 4, 5, 8})
        EXPECT_EQ(GridGlyphOfKind(kind), nullptr);
    EXPECT_EQ(FindGridGlyph("dbg_true"), nullptr);
    // The two check boxes differ, and transparent pixels take the background.
    TRgbImage t, f;
    RenderGridGlyph(*FindGridGlyph("DBG_TRUE"), clWhite, t);
    RenderGridGlyph(*FindGridGlyph("DBG_FALSE"), clWhite, f);
    EXPECT_NE(t.Pixels, f.Pixels);
    TRgbImage blob;
    RenderGridGlyph(*FindGridGlyph("DBG_BLOB"), clRed, blob);
    ExpectPixel(blob, 0, 0, {255, 0, 0});
}

namespace {
// Decodes with libjpeg; the pictures here are our own, so an error is a
// failure of the encoder and the default handler's exit is acceptable.
TRgbImage DecodeJpeg(const std::string& bytes) {
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(bytes.data()),
                 static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    TRgbImage img;
    img.Width = static_cast<int>(cinfo.output_width);
    img.Height = static_cast<int>(cinfo.output_height);
    img.Pixels.resize(static_cast<size_t>(img.Width) * static_cast<size_t>(img.Height) * 3);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = img.Pixels.data() + static_cast<size_t>(cinfo.output_scanline) *
                                               static_cast<size_t>(img.Width) * 3;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return img;
}
} // namespace

TEST(JpegWriter, BaselineColourQuality90) {
    TRgbImage img;
    LoadBmpImage(MakeBmp(40, 30, 24, false,
                         [](int x, int) {
                             return x < 20 ? TRgb{220, 20, 30} : TRgb{20, 40, 230};
                         }),
                 img);
    std::string jpeg;
    EncodeJpeg(img, 90, jpeg);
    const TJpegFrame f = ReadJpegFrame(jpeg);
    EXPECT_EQ(f.Marker, 0xC0); // baseline sequential
    EXPECT_EQ(f.Precision, 8);
    EXPECT_EQ(f.Width, 40);
    EXPECT_EQ(f.Height, 30);
    EXPECT_EQ(f.Components, 3); // colour
    // Quality 90 scales the standard luminance table's 16 to 3.
    EXPECT_EQ(f.FirstLumaQuant, 3);
    const TRgbImage back = DecodeJpeg(jpeg);
    ASSERT_EQ(back.Width, 40);
    const TRgb left = PixelAt(back, 5, 15), right = PixelAt(back, 35, 15);
    EXPECT_NEAR(left.R, 220, 12);
    EXPECT_NEAR(left.B, 30, 12);
    EXPECT_NEAR(right.B, 230, 12);
    EXPECT_NEAR(right.R, 20, 12);
}

TEST(JpegWriter, ErrorsAreReported) {
    TRgbImage empty;
    std::string out;
    EXPECT_THROW(EncodeJpeg(empty, 90, out), EJpegError);
    TRgbImage wide;
    wide.Width = 70000; // past JPEG's limit of 65,500
    wide.Height = 1;
    wide.Pixels.assign(70000 * 3, 0);
    EXPECT_THROW(EncodeJpeg(wide, 90, out), EJpegError);
    // A folder that does not exist: the error names the file.
    TRgbImage one;
    LoadBmpImage(SolidBmp(1, 1, {1, 2, 3}), one);
    try {
        SaveJpegFile(one, "/nonexistent-folder-for-test/x.jpg");
        ADD_FAILURE() << "no error";
    } catch (const std::exception& e) {
        EXPECT_NE(std::string(e.what()).find("nonexistent-folder-for-test"), std::string::npos);
    }
}
