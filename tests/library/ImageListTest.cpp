#include "library/ImageList.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "platform/TextEncoding.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TempDir.h"

namespace kalimo {
namespace {

using Lines = std::vector<std::string>;

class ImageListTest : public ::testing::Test {
 protected:
  ImageListTest() { setenv("KALIMO_PROGRAM_DIR", program.Str().c_str(), 1); }
  ~ImageListTest() override { unsetenv("KALIMO_PROGRAM_DIR"); }

  // "images.dat" as UTF-8, read by the test itself.
  std::string FileText() const {
    return platform::Gb18030ToUtf8(test::ReadBytes(program / kImageListFileName)).value_or("<not GB18030>");
  }
  // A list of three images, saved.
  void AddThree() { ASSERT_EQ(list.AddImages({"/p/a.png", "/p/图片.jpg", "/p/c.bmp"}), 3); }

  test::TempDir program;
  ImageList list;
};

TEST(ImageListImageTest, PicturesAreKnownByTheirExtensionAnywhereIgnoringCase) {
  const std::vector<std::pair<std::string, bool>> cases = {
      {"/home/u/a.jpg", true},    {"/home/u/a.PNG", true},     {"/x.bmp.old", true},
      {"/dir.jpg/readme", true},  {"/home/u/a.gif", false},    {"/home/u/a.tga", false},
      {"/home/u/a.jpeg", false},  {"", false},                 {"/home/u/jpg", false},
  };
  for (const auto& [path, isImage] : cases) EXPECT_EQ(ImageList::IsImageFile(path), isImage) << path;
}

TEST_F(ImageListTest, GetImageAtWrapsAnIndexPastTheEndBackToTheFirst) {
  std::int32_t index = 0;
  EXPECT_EQ(list.GetImageAt(index), "");
  EXPECT_EQ(index, 0);
  AddThree();
  const std::vector<std::pair<std::int32_t, std::pair<std::string, std::int32_t>>> cases = {
      {1, {"/p/图片.jpg", 1}}, {2, {"/p/c.bmp", 2}}, {3, {"/p/a.png", 0}}, {7, {"/p/a.png", 0}}, {-1, {"/p/a.png", 0}},
  };
  for (const auto& [given, expected] : cases) {
    index = given;
    EXPECT_EQ(list.GetImageAt(index), expected.first) << given;
    EXPECT_EQ(index, expected.second) << given;
  }
}

TEST_F(ImageListTest, EveryCommandIsInTheFileAtOnce) {
  // Added: only the pictures, in order, as GB18030 lines with CR LF between them.
  EXPECT_EQ(list.AddImages({"/p/a.png", "/p/anim.gif", "", "/p/图片.jpg", "/p/c.bmp"}), 3);
  EXPECT_EQ(FileText(), "/p/a.png\r\n/p/图片.jpg\r\n/p/c.bmp");
  EXPECT_EQ(test::ReadBytes(program / kImageListFileName),
            "/p/a.png\r\n/p/" + platform::Utf8ToGb18030("图片").value() + ".jpg\r\n/p/c.bmp");

  list.Select(2);
  EXPECT_TRUE(list.MoveSelectedUp());
  EXPECT_EQ(list.SelectedIndex(), 1);
  EXPECT_EQ(FileText(), "/p/a.png\r\n/p/c.bmp\r\n/p/图片.jpg");

  EXPECT_TRUE(list.MoveSelectedDown());
  EXPECT_EQ(list.SelectedIndex(), 2);
  EXPECT_EQ(FileText(), "/p/a.png\r\n/p/图片.jpg\r\n/p/c.bmp");

  list.Select(1);
  EXPECT_TRUE(list.DeleteSelected());
  EXPECT_FALSE(list.HasSelection());
  EXPECT_EQ(FileText(), "/p/a.png\r\n/p/c.bmp");

  list.Clear();
  EXPECT_EQ(test::ReadBytes(program / kImageListFileName), "");
  EXPECT_TRUE(list.LastSaveSucceeded());

  // A fresh list reads back what the last one left.
  ImageList reread;
  EXPECT_TRUE(reread.Load());
  EXPECT_TRUE(reread.IsEmpty());
}

TEST_F(ImageListTest, MovesAtTheEndsAndWithoutSelectionChangeNothing) {
  AddThree();
  const std::string saved = FileText();
  EXPECT_FALSE(list.MoveSelectedUp());  // nothing selected
  EXPECT_FALSE(list.MoveSelectedDown());
  EXPECT_FALSE(list.DeleteSelected());
  list.Select(0);
  EXPECT_FALSE(list.MoveSelectedUp());
  list.Select(2);
  EXPECT_FALSE(list.MoveSelectedDown());
  EXPECT_EQ(list.Paths(), (Lines{"/p/a.png", "/p/图片.jpg", "/p/c.bmp"}));
  EXPECT_EQ(list.SelectedIndex(), 2);
  EXPECT_EQ(FileText(), saved);
}

TEST_F(ImageListTest, DeletingTheMiddleImageKeepsTheOthersInOrder) {
  AddThree();
  list.Select(1);
  ASSERT_TRUE(list.DeleteSelected());
  EXPECT_EQ(list.Paths(), (Lines{"/p/a.png", "/p/c.bmp"}));
  EXPECT_EQ(list.SelectedIndex(), ImageList::kNoSelection);
}

TEST_F(ImageListTest, SelectionOutsideTheListIsNoSelection) {
  AddThree();
  for (std::int32_t index : {-1, 3, 100}) {
    list.Select(1);
    list.Select(index);
    EXPECT_FALSE(list.HasSelection()) << index;
  }
}

TEST_F(ImageListTest, PathsTheListFileCannotHoldAreRefusedNotLostLater) {
  const std::string longest = "/" + std::string(254, 'a') + ".png";  // 259 bytes
  const std::string tooLong = "/" + std::string(255, 'a') + ".png";  // 260 bytes
  // 2 bytes per character in GB18030: 129 of them + ".png" is 262 bytes.
  std::string wide = "/";
  for (int i = 0; i < 128; ++i) wide += "图";
  wide += ".png";
  EXPECT_EQ(list.AddImages({longest, tooLong, wide, "/a\nb.png"}), 1);
  EXPECT_EQ(list.Paths(), Lines{longest});
  ImageList reread;
  ASSERT_TRUE(reread.Load());
  EXPECT_EQ(reread.Paths(), Lines{longest});
}

TEST_F(ImageListTest, AMissingFileIsAnEmptyListAndNothingIsWrittenUntilAChange) {
  EXPECT_FALSE(list.Load());
  EXPECT_TRUE(list.IsEmpty());
  EXPECT_EQ(list.AddImages({"/p/anim.gif"}), 0);
  EXPECT_FALSE(std::filesystem::exists(program / kImageListFileName));
}

TEST_F(ImageListTest, LoadReadsTheFileAndDropsTheSelection) {
  list.AddImages({"/p/z.png"});
  list.Select(0);
  test::WriteBytes(program / kImageListFileName, "/p/a.png\n\n/p/b.jpg\r\n");
  ASSERT_TRUE(list.Load());
  EXPECT_EQ(list.Paths(), (Lines{"/p/a.png", "/p/b.jpg"}));
  EXPECT_FALSE(list.HasSelection());
}

}  // namespace
}  // namespace kalimo
