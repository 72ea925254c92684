// The four sources behind FrameSource, as any owner drives them: start, pictures in the frame
// section and at the preview hook, the picture's size, the end, and a stop after which no
// picture arrives.
#include "media/sources/FrameSource.h"

#include <QImage>
#include <gtest/gtest.h>

#include <atomic>
#include <memory>

#include "common/ApplyDataToOstrel.h"
#include "media/sources/CameraSource.h"
#include "media/sources/ImageSource.h"
#include "media/sources/VideoFileSource.h"
#include "tests/support/MediaTestSupport.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestSection.h"

namespace kalimo::media {
namespace {

class FrameSourceTest : public ::testing::Test {
 protected:
  FrameSourceTest() { setenv("KALIMO_FAKE_CAMERAS", "Desk Cam|raw:320x240;Kalimo摄像头|raw:640x480", 1); }
  ~FrameSourceTest() override { CloseFrameSection(ProcessFrameSectionHandle()); }

  // Starts `source`, waits for two pictures at the preview hook, checks what it reports, stops it.
  void Drive(FrameSource& source, FrameSize expected, const std::string& label) {
    std::atomic<int> pictures{0};
    std::atomic<int> wrongSize{0};
    std::string error;
    ASSERT_TRUE(source.Start(
        [&](const FrameView& frame) {
          if (!frame.bits || frame.width != expected.width || frame.height != expected.height ||
              frame.byteCount < frame.width * 3 * frame.height)
            ++wrongSize;
          ++pictures;
        },
        error))
        << label << ": " << error;
    EXPECT_TRUE(test::WaitFor([&] {
      std::string ended;
      EXPECT_TRUE(source.Poll(ended)) << ended;
      return pictures.load() >= 2;
    })) << label;
    EXPECT_EQ(wrongSize.load(), 0) << label;
    EXPECT_EQ(source.Size(), expected) << label;
    EXPECT_EQ(section.Header().width, expected.width) << label;
    EXPECT_EQ(source.Label(), label);
    source.Stop();
    const int stopped = pictures.load();
    std::string ended;
    EXPECT_FALSE(source.Poll(ended)) << label;
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(pictures.load(), stopped) << label << ": a picture arrived after the stop";
  }

  test::TempDir temp;
  test::TestSection section;
};

TEST_F(FrameSourceTest, EachSourceFeedsTheSectionAndItsPreviewUntilStopped) {
  {
    VideoFileSource video(test::TestMedia("long-320x240.avi").string(), false, false);
    Drive(video, {320, 240}, "video long-320x240.avi");
  }
  {
    CameraSource camera("Desk Cam", "Kalimo摄像头");
    Drive(camera, {320, 240}, "camera Desk Cam");
  }
  {
    const std::string path = (temp / "still.png").string();
    QImage picture(66, 48, QImage::Format_RGB888);
    picture.fill(Qt::blue);
    ASSERT_TRUE(picture.save(QString::fromStdString(path)));
    ImageSource image(path);
    // A still picture is sent once at the start and then once a second.
    Drive(image, {66, 48}, "image still.png");
  }
}

// The 2 s file holds 30 pictures: it ends after them, or, looping, goes on past them.
TEST_F(FrameSourceTest, AVideoThatEndsSaysSoUnlessItLoops) {
  const std::string path = test::TestMedia("red-320x240.avi").string();
  std::string error;
  VideoFileSource once(path, false, false);
  ASSERT_TRUE(once.Start({}, error)) << error;
  EXPECT_TRUE(test::WaitFor([&] { return !once.Poll(error); }, std::chrono::seconds(60)));
  EXPECT_EQ(error, "");

  VideoFileSource looping(path, true, false);
  std::atomic<int> pictures{0};
  ASSERT_TRUE(looping.Start([&](const FrameView&) { ++pictures; }, error)) << error;
  bool running = true;
  EXPECT_TRUE(test::WaitFor([&] { return !(running = looping.Poll(error)) || pictures.load() > 45; },
                            std::chrono::seconds(60)));
  EXPECT_TRUE(running) << error;
  EXPECT_GT(pictures.load(), 45);
}

TEST_F(FrameSourceTest, ASourceThatCannotStartSaysWhy) {
  const std::string missing = (temp / "gone.avi").string();
  VideoFileSource video(missing, false, false);
  ImageSource image(temp.Str());
  CameraSource camera("3", "Kalimo摄像头");
  const std::pair<FrameSource*, std::string> cases[] = {
      {&video, "no such file"}, {&image, "is a folder"}, {&camera, "there is no camera 3 (1 found)"}};
  for (const auto& [source, why] : cases) {
    std::string error;
    EXPECT_FALSE(source->Start({}, error));
    EXPECT_NE(error.find(why), std::string::npos) << error;
  }
}

}  // namespace
}  // namespace kalimo::media
