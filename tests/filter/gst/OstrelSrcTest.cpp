#include <gst/app/gstappsink.h>
#include <gst/base/gstbasesrc.h>
#include <gst/check/gstharness.h>
#include <gst/video/video.h>
#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <string>
#include <thread>

#include "common/ApplyDataToOstrel.h"
#include "filter/core/FrameReceiver.h"
#include "platform/RegistryStore.h"
#include "tests/filter/GstPluginFixture.h"
#include "tests/support/SectionTestSupport.h"
#include "tests/support/TestSection.h"

namespace kalimo {
namespace {

auto* const environment = ::testing::AddGlobalTestEnvironment(new test::GstPluginEnvironment);

constexpr GstClockTime kFrame = GST_SECOND / 30;

struct Pulled {
  int width = 0;
  int height = 0;
  GstClockTime pts = GST_CLOCK_TIME_NONE;
  guint64 offset = 0;
  std::vector<unsigned char> bytes;
};

Pulled Pull(GstHarness* harness) {
  Pulled pulled;
  GstBuffer* buffer = gst_harness_pull(harness);
  if (!buffer) return pulled;
  GstCaps* caps = gst_pad_get_current_caps(harness->sinkpad);
  GstVideoInfo info;
  if (caps && gst_video_info_from_caps(&info, caps)) {
    pulled.width = GST_VIDEO_INFO_WIDTH(&info);
    pulled.height = GST_VIDEO_INFO_HEIGHT(&info);
  }
  if (caps) gst_caps_unref(caps);
  pulled.pts = GST_BUFFER_PTS(buffer);
  pulled.offset = GST_BUFFER_OFFSET(buffer);
  pulled.bytes.resize(gst_buffer_get_size(buffer));
  gst_buffer_extract(buffer, 0, pulled.bytes.data(), pulled.bytes.size());
  gst_buffer_unref(buffer);
  return pulled;
}

// `dib` doubled in both directions, as top-down rows: what a 640x480 client sees of a 320x240 frame.
std::vector<unsigned char> DoubledTopDown(const std::vector<unsigned char>& dib, int width, int height) {
  const auto top = test::TopDown(dib, width, height);
  const auto stride = static_cast<std::size_t>(DibStride(width));
  const auto outStride = static_cast<std::size_t>(DibStride(width * 2));
  std::vector<unsigned char> out(outStride * static_cast<std::size_t>(height) * 2, 0);
  for (std::size_t y = 0; y < static_cast<std::size_t>(height) * 2; ++y) {
    for (std::size_t x = 0; x < static_cast<std::size_t>(width) * 2; ++x) {
      std::copy_n(top.begin() + static_cast<std::ptrdiff_t>((y / 2) * stride + (x / 2) * 3), 3,
                  out.begin() + static_cast<std::ptrdiff_t>(y * outStride + x * 3));
    }
  }
  return out;
}

class OstrelSrcTest : public ::testing::Test {
 protected:
  OstrelSrcTest() {
    harness = gst_harness_new("ostrelsrc");
    gst_harness_use_systemclock(harness);  // a live source waits on the clock: let real time run it
  }
  ~OstrelSrcTest() override {
    gst_harness_teardown(harness);
    CloseFrameSection(cell);
  }

  void Send(const std::vector<unsigned char>& bits, int width, int height) {
    ASSERT_TRUE(WriteFrameToSection(bits.data(), cell, static_cast<std::int32_t>(bits.size()), width, height));
  }
  // Pulls until a buffer holds `expected` (the receiver picks the frame up within a few polls).
  bool PullUntil(const std::vector<unsigned char>& expected, Pulled& last) {
    for (int i = 0; i < 60; ++i) {
      last = Pull(harness);
      if (last.bytes == expected) return true;
    }
    return false;
  }

  test::UserFolders folders;
  test::TestSection section;
  FrameSectionHandle cell;
  GstHarness* harness = nullptr;
};

TEST_F(OstrelSrcTest, SendsBlackUntilTheFirstFrameThenEveryFrameUprightAndByteExact) {
  gst_harness_play(harness);
  for (int i = 0; i < 3; ++i) {
    const Pulled black = Pull(harness);
    ASSERT_EQ(black.width, 640);
    ASSERT_EQ(black.height, 480);
    ASSERT_EQ(black.bytes.size(), 640u * 480 * 3);
    EXPECT_TRUE(std::all_of(black.bytes.begin(), black.bytes.end(), [](unsigned char b) { return b == 0; }));
  }
  EXPECT_EQ(folders.Log(), "Could not open file mapping object.(2)\r\n");

  const auto bits = test::PatternFrame(640, 480, 1);
  Send(bits, 640, 480);
  Pulled last;
  EXPECT_TRUE(PullUntil(test::TopDown(bits, 640, 480), last));
  EXPECT_EQ(folders.Log(), "Could not open file mapping object.(2)\r\nSuccess to open file mapping object.\r\n");

  // A 320x240 source is stretched with repeated pixels.
  const auto small = test::PatternFrame(320, 240, 2);
  Send(small, 320, 240);
  const auto stretched = DoubledTopDown(small, 320, 240);
  EXPECT_TRUE(PullUntil(stretched, last));

  // The writer is gone: the last picture repeats.
  CloseFrameSection(cell);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(Pull(harness).bytes, stretched);
}

// Collects the warnings of the ostrelsrc debug category.
void CollectWarning(GstDebugCategory* category, GstDebugLevel level, const gchar*, const gchar*, gint, GObject*,
                    GstDebugMessage* message, gpointer data) {
  if (level != GST_LEVEL_WARNING || std::string(gst_debug_category_get_name(category)) != "ostrelsrc") return;
  static std::mutex lock;
  std::lock_guard guard(lock);
  static_cast<std::vector<std::string>*>(data)->push_back(gst_debug_message_get(message));
}

TEST_F(OstrelSrcTest, SaysOnceOnTheDebugLogWhyItSendsBlack) {
  std::vector<std::string> warnings;
  gst_debug_set_threshold_for_name("ostrelsrc", GST_LEVEL_WARNING);
  gst_debug_add_log_function(CollectWarning, &warnings, nullptr);
  gst_harness_play(harness);
  for (int i = 0; i < 90; ++i) ASSERT_FALSE(Pull(harness).bytes.empty());  // 3 s of black
  gst_debug_remove_log_function(CollectWarning);
  ASSERT_EQ(warnings.size(), 1u) << ::testing::PrintToString(warnings);
  EXPECT_NE(warnings[0].find("nothing feeds the virtual camera"), std::string::npos) << warnings[0];
}

TEST_F(OstrelSrcTest, AClientThatAsksFor320x240Gets320x240) {
  gst_harness_set_sink_caps_str(harness, "video/x-raw,width=320,height=240");
  gst_harness_play(harness);
  const auto bits = test::PatternFrame(320, 240, 4);
  Send(bits, 320, 240);
  Pulled last;
  EXPECT_TRUE(PullUntil(test::TopDown(bits, 320, 240), last));
  EXPECT_EQ(last.width, 320);
  EXPECT_EQ(last.height, 240);
  EXPECT_EQ(last.bytes.size(), 320u * 240 * 3);
}

TEST_F(OstrelSrcTest, StampsStepByOneThirtiethAndContinueAfterARestart) {
  gst_harness_play(harness);
  std::vector<Pulled> buffers;
  for (int i = 0; i < 10; ++i) buffers.push_back(Pull(harness));
  // basesrc moves the first stamp by the start-up time; the steps are the element's own.
  EXPECT_EQ(buffers[9].pts - buffers[0].pts, 9 * GST_SECOND / 30);
  for (int i = 1; i < 10; ++i) {
    EXPECT_EQ(buffers[i].pts - buffers[i - 1].pts, gst_util_uint64_scale(i, GST_SECOND, 30) -
                                                       gst_util_uint64_scale(i - 1, GST_SECOND, 30));
    EXPECT_EQ(buffers[i].offset, static_cast<guint64>(i));
  }

  gst_element_set_state(harness->element, GST_STATE_NULL);
  gst_harness_play(harness);
  // The count is the element's, not the run's: it goes on (a buffer made while stopping is dropped).
  EXPECT_GE(Pull(harness).offset, 10u);
}

TEST_F(OstrelSrcTest, AnswersTheLatencyQueryAsALiveSourceOfOneFrame) {
  gst_harness_play(harness);
  Pull(harness);
  GstQuery* query = gst_query_new_latency();
  ASSERT_TRUE(gst_pad_peer_query(harness->sinkpad, query));
  gboolean live = FALSE;
  GstClockTime min = 0;
  GstClockTime max = 0;
  gst_query_parse_latency(query, &live, &min, &max);
  gst_query_unref(query);
  EXPECT_TRUE(live);
  EXPECT_EQ(min, kFrame);
  EXPECT_EQ(max, GST_CLOCK_TIME_NONE);
}

GstClockTime QueryMinimumLatency(GstHarness* harness) {
  GstQuery* query = gst_query_new_latency();
  GstClockTime min = GST_CLOCK_TIME_NONE;
  if (gst_pad_peer_query(harness->sinkpad, query)) gst_query_parse_latency(query, nullptr, &min, nullptr);
  gst_query_unref(query);
  return min;
}

TEST_F(OstrelSrcTest, LowLatencyDeliversTheNewestPictureAtOnce) {
  g_object_set(harness->element, "low-latency", TRUE, nullptr);
  gst_harness_play(harness);
  const auto first = test::PatternFrame(640, 480, 1);
  Send(first, 640, 480);
  Pulled last;
  ASSERT_TRUE(PullUntil(test::TopDown(first, 640, 480), last));
  // Let the list fill with the first picture: the default mode would go on showing it for about
  // 110 ms after the next one arrives.
  for (int i = 0; i < 6; ++i) Pull(harness);
  const auto second = test::PatternFrame(640, 480, 2);
  Send(second, 640, 480);
  std::this_thread::sleep_for(std::chrono::milliseconds(15));  // one poll picks it up
  // At most one buffer made before the picture arrived may still be on its way.
  const Pulled next = Pull(harness);
  EXPECT_TRUE(next.bytes == test::TopDown(second, 640, 480) || Pull(harness).bytes == test::TopDown(second, 640, 480));
  EXPECT_EQ(QueryMinimumLatency(harness), 5 * GST_MSECOND);
}

// The stamps go on across a restart while the running time begins again: the low-latency wait must
// follow the running time, not wait out the length of the earlier run.
TEST(OstrelSrcPipeline, LowLatencyGoesOnAtOnceAfterARestart) {
  test::UserFolders folders;
  GstElement* pipeline = gst_parse_launch("ostrelsrc low-latency=true ! appsink name=sink sync=true", nullptr);
  ASSERT_NE(pipeline, nullptr);
  GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline), "sink");
  const auto pull = [&] {
    GstSample* sample = gst_app_sink_try_pull_sample(GST_APP_SINK(sink), 10 * GST_SECOND);
    if (sample) gst_sample_unref(sample);
    return sample != nullptr;
  };
  gst_element_set_state(pipeline, GST_STATE_PLAYING);
  for (int i = 0; i < 90; ++i) ASSERT_TRUE(pull());  // a run of 3 s
  gst_element_set_state(pipeline, GST_STATE_NULL);
  gst_element_set_state(pipeline, GST_STATE_PLAYING);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(pull());
  EXPECT_TRUE(pull());
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500));  // not 3 s
  gst_element_set_state(pipeline, GST_STATE_NULL);
  gst_object_unref(sink);
  gst_object_unref(pipeline);
}

TEST(OstrelSrcDefaults, LowLatencyDefaultComesFromTheDeviceEntry) {
  test::UserFolders folders;
  const auto lowLatencyOf = [] {
    GstElement* element = gst_element_factory_make("ostrelsrc", nullptr);
    gboolean value = FALSE;
    g_object_get(element, "low-latency", &value, nullptr);
    gst_object_unref(element);
    return value;
  };
  EXPECT_FALSE(lowLatencyOf());  // no device entry
  int error = 0;
  using platform::RegistryStore;
  ASSERT_TRUE(RegistryStore::CreateKey(platform::RegistryRoot::kClassesRoot, platform::kCameraInstanceKey, error));
  ASSERT_TRUE(RegistryStore::WriteDword(platform::RegistryRoot::kClassesRoot, platform::kCameraInstanceKey,
                                        platform::kLowLatencyValue, 1, error));
  EXPECT_TRUE(lowLatencyOf());
  ASSERT_TRUE(RegistryStore::WriteDword(platform::RegistryRoot::kClassesRoot, platform::kCameraInstanceKey,
                                        platform::kLowLatencyValue, 0, error));
  EXPECT_FALSE(lowLatencyOf());
}

// KeepAspect in the device entry: a 16:9 source into 640x480 lies in rows 60-419 with black above
// and below; 0 stretches it over the whole picture. What the client sees is built here by hand.
TEST(OstrelSrcKeepAspect, A16By9SourceIsFittedOrStretchedAsTheDeviceEntrySays) {
  test::UserFolders folders;
  test::TestSection section;
  int error = 0;
  using platform::RegistryStore;
  ASSERT_TRUE(RegistryStore::CreateKey(platform::RegistryRoot::kClassesRoot, platform::kCameraInstanceKey, error));
  const auto wide = test::PatternFrame(1280, 720, 3);  // no pixel is black
  const auto wideRows = test::TopDown(wide, 1280, 720);
  FrameSectionHandle cell;
  ASSERT_TRUE(WriteFrameToSection(wide.data(), cell, static_cast<std::int32_t>(wide.size()), 1280, 720));

  for (const std::uint32_t keepAspect : {1u, 0u}) {
    SCOPED_TRACE(keepAspect);
    ASSERT_TRUE(RegistryStore::WriteDword(platform::RegistryRoot::kClassesRoot, platform::kCameraInstanceKey,
                                          platform::kKeepAspectValue, keepAspect, error));
    std::vector<unsigned char> expected(640 * 480 * 3, 0);
    for (int y = 0; y < 480; ++y) {
      if (keepAspect && (y < 60 || y >= 420)) continue;
      // Rows are sampled counting from the bottom, as the frame section stores them.
      const int fromBottom = keepAspect ? 419 - y : 479 - y;
      const int sourceRow = 719 - fromBottom * 720 / (keepAspect ? 360 : 480);
      for (int x = 0; x < 640; ++x) {
        std::copy_n(wideRows.begin() + (sourceRow * 1280 + x * 2) * 3, 3, expected.begin() + (y * 640 + x) * 3);
      }
    }
    GstHarness* harness = gst_harness_new("ostrelsrc");
    gst_harness_use_systemclock(harness);
    gst_harness_play(harness);
    Pulled last;
    for (int i = 0; i < 60 && last.bytes != expected; ++i) last = Pull(harness);
    gst_harness_teardown(harness);
    ASSERT_EQ(last.bytes.size(), expected.size());
    EXPECT_TRUE(last.bytes == expected);
    // The picture's first and last rows, for a readable failure.
    auto rowIsBlack = [&](int y) {
      return std::all_of(last.bytes.begin() + y * 1920, last.bytes.begin() + (y + 1) * 1920,
                         [](unsigned char b) { return b == 0; });
    };
    int first = 0;
    while (first < 480 && rowIsBlack(first)) ++first;
    int end = 480;
    while (end > first && rowIsBlack(end - 1)) --end;
    EXPECT_EQ(first, keepAspect ? 60 : 0);
    EXPECT_EQ(end - 1, keepAspect ? 419 : 479);
  }
  CloseFrameSection(cell);
}

using test::ThreadCount;

// An element that is made, inspected and destroyed without being started (as gst-inspect-1.0 and
// device monitors do) runs no thread and reads nothing.
TEST(OstrelSrcProcess, AnElementThatIsNeverStartedRunsNoThread) {
  test::UserFolders folders;
  const int before = ThreadCount();
  GstElement* element = gst_element_factory_make("ostrelsrc", nullptr);
  ASSERT_NE(element, nullptr);
  gboolean lowLatency = TRUE;
  g_object_get(element, "low-latency", &lowLatency, nullptr);
  GstPad* pad = gst_element_get_static_pad(element, "src");
  GstCaps* caps = gst_pad_query_caps(pad, nullptr);
  EXPECT_EQ(gst_caps_get_size(caps), 2u);  // the two sizes, from the pad template
  gst_caps_unref(caps);
  gst_object_unref(pad);
  ASSERT_EQ(gst_element_set_state(element, GST_STATE_READY), GST_STATE_CHANGE_SUCCESS);
  std::this_thread::sleep_for(std::chrono::milliseconds(3 * FrameReceiver::kPollIntervalMs));
  EXPECT_EQ(ThreadCount(), before);
  gst_element_set_state(element, GST_STATE_NULL);
  gst_object_unref(element);
  EXPECT_EQ(ThreadCount(), before);
  EXPECT_EQ(folders.Log(), "") << "a receiver polled the frame section";
}

// Started elements share one receive thread, which stops with the last of them. (basesrc's start
// and stop are called directly: the streaming threads of a pipeline would blur the count.)
TEST(OstrelSrcProcess, StartedElementsShareOneReceiveThreadThatStopsWithTheLast) {
  test::UserFolders folders;
  const int before = ThreadCount();
  GstElement* first = gst_element_factory_make("ostrelsrc", nullptr);
  GstElement* second = gst_element_factory_make("ostrelsrc", nullptr);
  ASSERT_TRUE(first && second);
  auto start = [](GstElement* element) { return GST_BASE_SRC_GET_CLASS(element)->start(GST_BASE_SRC(element)); };
  auto stop = [](GstElement* element) { return GST_BASE_SRC_GET_CLASS(element)->stop(GST_BASE_SRC(element)); };
  ASSERT_TRUE(start(first));
  EXPECT_EQ(ThreadCount(), before + 1);
  ASSERT_TRUE(start(second));
  EXPECT_EQ(ThreadCount(), before + 1);
  EXPECT_TRUE(stop(first));
  EXPECT_EQ(ThreadCount(), before + 1);
  EXPECT_TRUE(stop(second));
  EXPECT_TRUE(test::ThreadCountBecomes(before));
  // Started again, the receiver comes back.
  ASSERT_TRUE(start(first));
  EXPECT_EQ(ThreadCount(), before + 1);
  EXPECT_TRUE(stop(first));
  EXPECT_TRUE(test::ThreadCountBecomes(before));
  gst_object_unref(first);
  gst_object_unref(second);
}

TEST(OstrelSrcPipeline, AClientReceivesThirtyBuffersASecond) {
  test::UserFolders folders;
  GError* error = nullptr;
  GstElement* pipeline =
      gst_parse_launch("ostrelsrc ! video/x-raw,width=320,height=240 ! appsink name=sink sync=true", &error);
  ASSERT_NE(pipeline, nullptr) << (error ? error->message : "");
  GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline), "sink");
  gst_element_set_state(pipeline, GST_STATE_PLAYING);

  // Count what arrives during three seconds of real time after the first buffer.
  GstSample* first = gst_app_sink_pull_sample(GST_APP_SINK(sink));
  ASSERT_NE(first, nullptr);
  gst_sample_unref(first);
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  int received = 0;
  while (std::chrono::steady_clock::now() < end) {
    const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(end - std::chrono::steady_clock::now());
    GstSample* sample = gst_app_sink_try_pull_sample(GST_APP_SINK(sink), static_cast<GstClockTime>(left.count()));
    if (!sample) break;
    ++received;
    gst_sample_unref(sample);
  }
  gst_element_set_state(pipeline, GST_STATE_NULL);
  gst_object_unref(sink);
  gst_object_unref(pipeline);
  EXPECT_NEAR(received, 90, 2);
}

}  // namespace
}  // namespace kalimo
