#include <gtest/gtest.h>

#include "playlist/cover_view.h"
#include "pictures.h"
#include "recording_view.h"
#include "temp_folder.h"

namespace playlist {
namespace {

using playlist_test::PlaylistFixtureState;

CoverPicture Flat(int32_t width, int32_t height, uint8_t r, uint8_t g, uint8_t b) {
  CoverPicture p{width, height, {}};
  for (int32_t i = 0; i < width * height; ++i) p.Rgba.insert(p.Rgba.end(), {r, g, b, 255});
  return p;
}

TEST(CoverScaling, StretchesWithSmoothing) {
  // A flat picture stays flat whichever way it is stretched.
  for (auto [w, h] : {std::pair{500, 300}, {7, 3}, {220, 220}, {1, 1}, {1000, 1}}) {
    const CoverPicture out = ScaleCoverPicture(Flat(w, h, 10, 200, 30), kCoverSize, kCoverSize);
    ASSERT_EQ(out.Width, 220);
    ASSERT_EQ(out.Height, 220);
    EXPECT_EQ(out.Rgba, Flat(220, 220, 10, 200, 30).Rgba) << w << "x" << h;
  }
  // Growing a black and a white pixel gives a ramp, not two blocks.
  CoverPicture edge = Flat(2, 1, 0, 0, 0);
  edge.Rgba[4] = edge.Rgba[5] = edge.Rgba[6] = 255;
  const CoverPicture ramp = ScaleCoverPicture(edge, 220, 1);
  EXPECT_EQ(ramp.Rgba[0], 0);
  EXPECT_EQ(ramp.Rgba[219 * 4], 255);
  const uint8_t middle = ramp.Rgba[110 * 4];
  EXPECT_GT(middle, 100);
  EXPECT_LT(middle, 155);
  // Shrinking a fine checkerboard averages it to grey.
  CoverPicture board = Flat(440, 440, 0, 0, 0);
  for (int32_t i = 0; i < 440 * 440; ++i) {
    if ((i % 440 + i / 440) % 2) board.Rgba[i * 4] = 255;
  }
  const CoverPicture grey = ScaleCoverPicture(board, 220, 220);
  for (int32_t i = 0; i < 220 * 220; i += 997) EXPECT_NEAR(grey.Rgba[i * 4], 128, 1);
  EXPECT_EQ(ScaleCoverPicture(CoverPicture{}, 220, 220).Width, 0);
}

class CoverView : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!CoverDecodersAvailable()) GTEST_SKIP() << "this build has no picture decoders";
    view.Cover = true;
  }
  std::u16string Add(const std::string& name, const std::string& bytes) {
    folder.Add(name, bytes);
    return folder.Path() + std::u16string(name.begin(), name.end());
  }
  PlaylistFixtureState state;
  playlist_test::RecordingView& view = state.view;
  playlist_test::TempFolder folder;
};

TEST_F(CoverView, DecodesPngAndJpeg) {
  CoverPicture png, jpeg;
  ASSERT_TRUE(DecodeCoverPicture(playlist_test::MakePng(300, 40), &png));
  EXPECT_EQ(png.Width, 300);
  EXPECT_EQ(png.Height, 40);
  const size_t at = (static_cast<size_t>(7) * 300 + 20) * 4;  // pixel (20, 7)
  EXPECT_EQ((std::vector<uint8_t>(png.Rgba.begin() + at, png.Rgba.begin() + at + 4)),
            (std::vector<uint8_t>{20, 7, 235, 255}));
  ASSERT_TRUE(DecodeCoverPicture(playlist_test::MakeJpeg(64, 48), &jpeg));
  EXPECT_EQ(jpeg.Width, 64);
  EXPECT_EQ(jpeg.Height, 48);
  const size_t j = (static_cast<size_t>(30) * 64 + 40) * 4;  // pixel (40, 30), lossy
  EXPECT_NEAR(jpeg.Rgba[j], 40, 12);
  EXPECT_NEAR(jpeg.Rgba[j + 1], 30, 12);
  EXPECT_NEAR(jpeg.Rgba[j + 2], 215, 12);
  EXPECT_EQ(jpeg.Rgba[j + 3], 255);
}

TEST_F(CoverView, DamagedPicturesLeaveTheViewAsItWas) {
  const std::string png = playlist_test::MakePng(50, 50), jpeg = playlist_test::MakeJpeg(50, 50);
  std::string corrupt = png;
  for (size_t i = 60; i < corrupt.size(); i += 7) corrupt[i] = static_cast<char>(corrupt[i] ^ 0x5A);
  const std::string damaged[] = {
      "", "not a picture", png.substr(0, png.size() / 2), jpeg.substr(0, 40), corrupt,
      std::string("\x89PNG\r\n\x1a\n", 8), std::string("\xFF\xD8\xFF", 3) + std::string(100, '\0'),
  };
  ShowCoverArt(Add("good.png", png));
  ASSERT_EQ(view.Only("cover"), std::vector<std::string>{"cover 220x220"});
  int n = 0;
  for (const std::string& bytes : damaged) {
    CoverPicture unused;
    EXPECT_FALSE(DecodeCoverPicture(bytes, &unused)) << n;
    view.Calls.clear();
    ShowCoverArt(Add("bad" + std::to_string(n++) + ".jpg", bytes));
    EXPECT_TRUE(view.Calls.empty());
    EXPECT_EQ(Cover.CoverShown, 1);
    EXPECT_EQ(Cover.CoverImage.Width, 50);
  }
  view.Calls.clear();
  ShowCoverArt(folder.Path() + u"missing.png");
  EXPECT_TRUE(view.Calls.empty());
}

TEST_F(CoverView, ShowStretchesAndHideOnlyWhenShown) {
  HideCoverArt();
  EXPECT_TRUE(view.Calls.empty());  // nothing shown: nothing to paint over
  ShowCoverArt(Add("wide.jpg", playlist_test::MakeJpeg(500, 300)));
  EXPECT_EQ(view.Calls, std::vector<std::string>{"cover 220x220"});
  EXPECT_EQ(Cover.CoverShown, 1);
  EXPECT_EQ(Cover.CoverImage.Width, 500);
  HideCoverArt();
  HideCoverArt();
  EXPECT_EQ(view.Only("cover backdrop").size(), 1u);
  EXPECT_EQ(Cover.CoverShown, 0);

  // With the option off the picture is loaded but the view never touched.
  view.Cover = false;
  view.Calls.clear();
  ShowCoverArt(Add("small.png", playlist_test::MakePng(30, 30)));
  HideCoverArt();
  EXPECT_TRUE(view.Calls.empty());
  EXPECT_EQ(Cover.CoverShown, 0);
  EXPECT_EQ(Cover.CoverImage.Width, 30);
}

}  // namespace
}  // namespace playlist
