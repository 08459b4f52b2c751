// The skins' named colours, the gradient rows, the eight border pieces and the caption's place.
#include <gtest/gtest.h>

#include <vector>

#include "saver/button/face_painter.h"

namespace mirevo {
namespace {

TEST(ButtonSkins, NamedPixelsHaveTheirExactColours) {
    struct Pixel {
        Skin skin;
        int x, y;
        uint32_t rgb;
    } pixels[] = {
        {Skin::Normal, 30, 0, 0xDCD6C2},     {Skin::Normal, 30, 24, 0xFAFAF6},
        {Skin::Normal, 30, 1, 0x003C74},     {Skin::Normal, 1, 12, 0x003C74},
        {Skin::Normal, 62, 12, 0x003C74},    {Skin::Normal, 30, 23, 0x003C74},
        {Skin::Normal, 30, 2, 0xF3F3EE},     {Skin::Normal, 2, 2, 0xFDFDFC},
        {Skin::Normal, 3, 22, 0xECEBE6},     {Skin::Normal, 60, 2, 0xFBFBFA},
        {Skin::Normal, 61, 2, 0xF6F4F2},     {Skin::Normal, 60, 22, 0xE4E2DA},
        {Skin::Normal, 61, 22, 0xE0DDD4},    {Skin::Normal, 30, 21, 0xE2DFD6},
        {Skin::Normal, 30, 22, 0xD6D0C5},    {Skin::HighLight, 30, 2, 0xFFF0CF},
        {Skin::HighLight, 30, 3, 0xFDD889},  {Skin::HighLight, 2, 2, 0xFEDF9A},
        {Skin::HighLight, 3, 2, 0xFCD279},   {Skin::HighLight, 2, 22, 0xF9B435},
        {Skin::HighLight, 3, 22, 0xF8B535},  {Skin::HighLight, 61, 2, 0xFEDF9A},
        {Skin::HighLight, 30, 21, 0xF8B330}, {Skin::HighLight, 30, 22, 0xE59700},
        {Skin::HighLight, 30, 1, 0x003C74},  {Skin::Selected, 30, 2, 0xCEE7FF},
        {Skin::Selected, 30, 3, 0xCEE7FF},   {Skin::Selected, 2, 2, 0xB7D0F4},
        {Skin::Selected, 60, 22, 0x8BADE4},  {Skin::Selected, 30, 21, 0x6982EE},
        {Skin::Selected, 30, 22, 0x6982EE},  {Skin::Selected, 30, 0, 0xDCD6C2},
        {Skin::Pressed, 30, 0, 0xECE9D8},    {Skin::Pressed, 30, 1, 0xECE9D8},
        {Skin::Pressed, 1, 12, 0xECE9D8},    {Skin::Pressed, 30, 24, 0xECE9D8},
        {Skin::Pressed, 30, 2, 0x003C74},    {Skin::Pressed, 2, 12, 0x003C74},
        {Skin::Pressed, 61, 12, 0x003C74},   {Skin::Pressed, 30, 22, 0x003C74},
        {Skin::Pressed, 30, 3, 0xD1CCC1},    {Skin::Pressed, 3, 12, 0xD7D4CB},
        {Skin::Pressed, 30, 21, 0xF2F1EE},   {Skin::Pressed, 60, 12, 0xE4E3DC},
        {Skin::Disable, 30, 0, 0xECE9D8},    {Skin::Disable, 30, 1, 0xC9C7BA},
        {Skin::Disable, 1, 12, 0xC9C7BA},    {Skin::Disable, 30, 2, 0xF5F4EA},
        {Skin::Disable, 2, 12, 0xF5F4EA},    {Skin::Disable, 30, 24, 0xECE9D8},
    };
    for (const Pixel& p : pixels)
        EXPECT_EQ(skinPicture(p.skin).at(p.x, p.y), p.rgb)
            << "skin " << int(p.skin) << " at " << p.x << "," << p.y;
    EXPECT_EQ(skinPicture(Skin::HighLight).pixels, skinPicture(Skin::HighLightSelect).pixels);
    // Rounded corners: the frame's corner pixel is a blend, closer to the surround than to the frame.
    const SkinPicture& normal = skinPicture(Skin::Normal);
    EXPECT_EQ(normal.at(1, 1), blendRgb(blendRgb(0xDCD6C2, 0xFAFAF6, 1, 24), 0x003C74, 1, 4));
    EXPECT_EQ(normal.at(0, 12), blendRgb(0xDCD6C2, 0xFAFAF6, 12, 24));
}

TEST(ButtonFace, GradientRowsFollowAVerticalGradientFill) {
    struct Row {
        int y, height;
        bool reversed;
        uint32_t rgb;
    } rows[] = {
        {0, 25, false, 0xFFFFFF}, {12, 25, false, 0xE2E2EB}, {23, 25, false, 0xC8C7D8},
        {0, 25, true, 0xC6C5D7},  {23, 25, true, 0xFCFCFD},  {19, 21, false, 0xC8C7D9},
    };
    for (const Row& r : rows)
        EXPECT_EQ(gradientRow(r.y, r.height, r.reversed), r.rgb)
            << r.y << "/" << r.height << " " << r.reversed;
}

TEST(ButtonFace, BorderPiecesStretchOrSqueezeAndCornersKeepTheirSize) {
    using P = BorderPiece;
    auto asVector = [](const std::array<P, 8>& a) {
        std::vector<std::array<int, 8>> v;
        for (const P& p : a)
            v.push_back({p.sx, p.sy, p.sw, p.sh, p.dx, p.dy, p.dw, p.dh});
        return v;
    };
    EXPECT_EQ(asVector(borderPieces(77, 25)), (std::vector<std::array<int, 8>>{
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
    EXPECT_EQ(small[1].dw, 33);
    EXPECT_EQ(small[3].dh, 13);
    EXPECT_EQ(small[4].dx, 37);
    EXPECT_EQ(small[4].dy, 17);
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
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            EXPECT_EQ(at(x, y), skin.at(x, y));
            EXPECT_EQ(at(w - 4 + x, h - 4 + y), skin.at(60 + x, 21 + y));
        }
    // The sides squeezed from 17 rows to 13 begin and end with the skin's own end rows.
    EXPECT_EQ(at(2, 4), skin.at(2, 4));
    EXPECT_EQ(at(2, h - 5), skin.at(2, 20));
    EXPECT_EQ(at(w - 5, 2), skin.at(59, 2));
    for (int y = 4; y < h - 4; ++y)
        EXPECT_EQ(at(20, y), gradientRow(y, h, true)) << y;
    EXPECT_EQ(pixels[0] >> 24, 0xFFu);
}

} // namespace
} // namespace mirevo
