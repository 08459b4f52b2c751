// The skins' named colours, the gradient rows, the eight border pieces and the caption's place.
#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "saver/button/face_painter.h"

namespace mirevo {
namespace {

TEST(ButtonSkins, NamedPixelsHaveTheirExactColours) {
    // "x,y=RRGGBB" for each skin: surround, frame, rings and shading.
    const std::pair<Skin, const char*> named[] = {
        {Skin::Normal,
         "30,0=DCD6C2 30,24=FAFAF6 30,1=003C74 1,12=003C74 62,12=003C74 30,23=003C74 30,2=F3F3EE "
         "2,2=FDFDFC 3,22=ECEBE6 60,2=FBFBFA 61,2=F6F4F2 60,22=E4E2DA 61,22=E0DDD4 30,21=E2DFD6 "
         "30,22=D6D0C5"},
        {Skin::HighLight, "30,1=003C74 30,2=FFF0CF 30,3=FDD889 2,2=FEDF9A 3,2=FCD279 2,22=F9B435 3,22=F8B535 "
                          "61,2=FEDF9A 30,21=F8B330 30,22=E59700"},
        {Skin::Selected,
         "30,0=DCD6C2 30,2=CEE7FF 30,3=CEE7FF 2,2=B7D0F4 60,22=8BADE4 30,21=6982EE 30,22=6982EE"},
        {Skin::Pressed,
         "30,0=ECE9D8 30,1=ECE9D8 1,12=ECE9D8 30,24=ECE9D8 30,2=003C74 2,12=003C74 61,12=003C74 "
         "30,22=003C74 30,3=D1CCC1 3,12=D7D4CB 30,21=F2F1EE 60,12=E4E3DC"},
        {Skin::Disable, "30,0=ECE9D8 30,1=C9C7BA 1,12=C9C7BA 30,2=F5F4EA 2,12=F5F4EA 30,24=ECE9D8"},
    };
    for (auto [skin, pixels] : named) {
        std::istringstream in(pixels);
        std::string pixel;
        while (in >> pixel) {
            int x = 0, y = 0;
            unsigned rgb = 0;
            ASSERT_EQ(std::sscanf(pixel.c_str(), "%d,%d=%x", &x, &y, &rgb), 3);
            EXPECT_EQ(skinPicture(skin).at(x, y), rgb) << "skin " << int(skin) << " " << pixel;
        }
    }
    EXPECT_EQ(skinPicture(Skin::HighLight).pixels, skinPicture(Skin::HighLightSelect).pixels);
    // Rounded corners: the frame's corner pixel is a blend, closer to the surround than to the frame.
    const SkinPicture& normal = skinPicture(Skin::Normal);
    EXPECT_EQ(normal.at(1, 1), blendRgb(blendRgb(0xDCD6C2, 0xFAFAF6, 1, 24), 0x003C74, 1, 4));
    EXPECT_EQ(normal.at(0, 12), blendRgb(0xDCD6C2, 0xFAFAF6, 12, 24));
}

TEST(ButtonFace, GradientRowsBorderPiecesAndCaptionPlace) {
    // Rows as a vertical gradient fill makes them: 16-bit channels, linear over height - 1 steps.
    const std::tuple<int, int, bool, uint32_t> rows[] = {
        {0, 25, false, 0xFFFFFF}, {12, 25, false, 0xE2E2EB}, {23, 25, false, 0xC8C7D8},
        {0, 25, true, 0xC6C5D7},  {23, 25, true, 0xFCFCFD},  {19, 21, false, 0xC8C7D9},
    };
    for (auto [y, height, reversed, rgb] : rows)
        EXPECT_EQ(gradientRow(y, height, reversed), rgb) << y << "/" << height << " " << reversed;

    std::vector<std::array<int, 8>> pieces;
    for (const BorderPiece& p : borderPieces(77, 25))
        pieces.push_back({p.sx, p.sy, p.sw, p.sh, p.dx, p.dy, p.dw, p.dh});
    EXPECT_EQ(pieces, (std::vector<std::array<int, 8>>{
                          {0, 0, 4, 4, 0, 0, 4, 4},
                          {4, 0, 56, 4, 4, 0, 69, 4},
                          {60, 0, 4, 4, 73, 0, 4, 4},
                          {60, 4, 4, 17, 73, 4, 4, 17},
                          {60, 21, 4, 4, 73, 21, 4, 4},
                          {4, 21, 56, 4, 4, 21, 69, 4},
                          {0, 21, 4, 4, 0, 21, 4, 4},
                          {0, 4, 4, 17, 0, 4, 4, 17},
                      }));
    auto small = borderPieces(41, 21);
    EXPECT_EQ(std::tie(small[1].dw, small[3].dh, small[4].dx, small[4].dy), std::make_tuple(33, 13, 37, 17));
    EXPECT_EQ(captionTop(25), 5); // 80 twips
    EXPECT_EQ(captionTop(21), 3); // 50 twips
}

TEST(ButtonFace, SqueezedFaceKeepsEndPixelsCornersAndTheGradientInside) {
    const int w = 41, h = 21;
    std::vector<uint32_t> pixels(size_t(w) * h);
    FaceCanvas canvas{pixels.data(), w, h, w};
    paintFacePixels(canvas, Skin::Selected, true);
    const SkinPicture& skin = skinPicture(Skin::Selected);
    auto at = [&](int x, int y) { return pixels[size_t(y) * w + x] & 0xFFFFFF; };
    // Corners as they are; the sides squeezed from 17 rows to 13 begin and end with the skin's own end rows.
    EXPECT_EQ(at(1, 1), skin.at(1, 1));
    EXPECT_EQ(at(w - 2, h - 1), skin.at(62, 24));
    EXPECT_EQ(at(2, 4), skin.at(2, 4));
    EXPECT_EQ(at(2, h - 5), skin.at(2, 20));
    EXPECT_EQ(at(w - 5, 2), skin.at(59, 2));
    for (int y = 4; y < h - 4; ++y)
        EXPECT_EQ(at(20, y), gradientRow(y, h, true)) << y;
    EXPECT_EQ(pixels[0] >> 24, 0xFFu);
}

} // namespace
} // namespace mirevo
