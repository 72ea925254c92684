// The frame path from the writer to a client of the virtual camera:
//  - the client's CPU while the section holds one unchanged 1920x1080 picture, against reading it
//    the plain way (a full copy on every poll);
//  - torn frames: a writer at 60 fps of flat-colour 1920x1080 frames, read by the receiver with and
//    without the sequence counter at the same time;
//  - the age of the delivered picture (write done -> appsink) in low-latency and default mode, and
//    the delivery cadence over 60 s, through ostrelsrc in a real pipeline.
#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bench/BenchReport.h"
#include "common/ApplyDataToOstrel.h"
#include "common/FrameSectionLayout.h"
#include "filter/core/FrameReceiver.h"

using namespace kalimo;
using Clock = std::chrono::steady_clock;

namespace {

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// Each measurement writes into a section of its own, so that nothing one leaves behind is read by
// the next.
class OwnSection {
 public:
  explicit OwnSection(const std::string& what) {
    setenv("KALIMO_SECTION", ("/kalimo-bench-" + what + "-" + std::to_string(getpid())).c_str(), 1);
  }
  ~OwnSection() { CloseFrameSection(cell); }
  FrameSectionHandle cell;
};

double Percentile(std::vector<double> values, double fraction) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const auto index = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1) + 0.5);
  return values[std::min(index, values.size() - 1)];
}

// CPU of the receive thread plus a 640x480 output filled 30 times a second, over `seconds`.
double ClientCores(bool useCounter, double seconds) {
  FrameReceiver receiver;
  receiver.UseSequenceCounter(useCounter);
  receiver.Start();
  std::vector<unsigned char> output(static_cast<std::size_t>(DibStride(640) * 480));
  const BitmapInfoHeader header{640, 480, 24, static_cast<std::uint32_t>(output.size())};
  const OutputLayout layout{RowOrder::kTopDown, DibStride(640), output.size()};
  std::this_thread::sleep_for(std::chrono::milliseconds(300));  // the list fills
  const double cpuStart = CpuSeconds();
  const auto start = Clock::now();
  for (int frame = 0; Seconds(Clock::now() - start) < seconds; ++frame) {
    receiver.CopyLatestFrame(output.data(), &header, layout);
    std::this_thread::sleep_until(start + std::chrono::microseconds(33333) * (frame + 1));
  }
  const double cores = (CpuSeconds() - cpuStart) / Seconds(Clock::now() - start);
  receiver.Stop();
  return cores;
}

void MeasureUnchangedSectionCpu() {
  OwnSection section("unchanged");
  const auto bytes = static_cast<std::size_t>(DibStride(1920) * 1080);
  std::vector<unsigned char> frame(bytes);
  for (std::size_t i = 0; i < bytes; ++i) frame[i] = static_cast<unsigned char>(i / 4096);
  WriteFrameToSection(frame.data(), section.cell, static_cast<std::int32_t>(bytes), 1920, 1080);
  const double plain = ClientCores(false, 6);
  const double shared = ClientCores(true, 6);
  bench::Report("client CPU, unchanged 1920x1080 section, 30 fps", "cores", shared, plain, 0.1, true,
                ">= 10 x less than copying every poll");
}

bool OneColour(const unsigned char* bits, std::size_t size) {
  for (std::size_t i = 3; i < size; i += 3) {
    if (std::memcmp(bits, bits + i, 3) != 0) return false;
  }
  return true;
}

void MeasureTornFrames(double seconds) {
  OwnSection section("torn");
  const auto bytes = static_cast<std::size_t>(DibStride(1920) * 1080);
  std::atomic<bool> running{true};
  std::atomic<long> written{0};
  std::thread writer([&] {
    std::vector<unsigned char> frame(bytes);
    const auto start = Clock::now();
    for (unsigned n = 0; running; ++n) {
      std::memset(frame.data(), static_cast<int>(n % 250 + 1), bytes);
      if (WriteFrameToSection(frame.data(), section.cell, static_cast<std::int32_t>(bytes), 1920, 1080)) ++written;
      std::this_thread::sleep_until(start + std::chrono::microseconds(16667) * (n + 1));
    }
  });
  // Both readers poll every 10 ms, as the receive thread does, at the same time.
  const auto reader = [&](bool useCounter, long& torn, long& frames) {
    SectionReadState state;
    state.useSequence = useCounter;
    std::shared_ptr<const unsigned char[]> last;
    const auto start = Clock::now();
    for (int poll = 0; Seconds(Clock::now() - start) < seconds; ++poll) {
      const tagFrame frame = ReadSection(&state);
      if (frame.pBuffer && frame.pBuffer != last) {
        ++frames;
        if (!OneColour(frame.view.bits, static_cast<std::size_t>(frame.view.byteCount))) ++torn;
        last = frame.pBuffer;
      }
      std::this_thread::sleep_until(start + std::chrono::milliseconds(10) * (poll + 1));
    }
  };
  long tornWith = 0, framesWith = 0, tornWithout = 0, framesWithout = 0;
  std::thread plain([&] { reader(false, tornWithout, framesWithout); });
  const long writtenBefore = written;
  reader(true, tornWith, framesWith);
  const long writtenDuring = written - writtenBefore;
  plain.join();
  running = false;
  writer.join();
  // Every frame the writer finished while the counter-checking reader polled should reach it whole.
  const double delivered = writtenDuring > 0 ? static_cast<double>(framesWith - tornWith) / static_cast<double>(writtenDuring) : 0;
  std::fprintf(stderr, "whole frames delivered: %ld of %ld written\n", framesWith - tornWith, writtenDuring);
  bench::Report("whole frames delivered by the counter-checking reader, share of frames written, 1920x1080 at 60 fps",
                "share", delivered, 1.0, 0.97, false, ">= 0.97");
  std::fprintf(stderr, "torn frames: %ld of %ld with the counter, %ld of %ld without\n", tornWith, framesWith,
               tornWithout, framesWithout);
  std::printf(
      "{\"figure\": \"torn frames, 1920x1080 at 60 fps, %.0f s\", \"unit\": \"frames\", \"value\": %ld, "
      "\"baseline\": %ld, \"goal_ratio\": 0, \"lower_is_better\": true, \"goal\": \"0\", \"met\": %s, "
      "\"ratio\": 0}\n",
      seconds, tornWith, tornWithout, tornWith == 0 && framesWith > 0 ? "true" : "false");
  std::fflush(stdout);
}

// Frames of 640x480 whose rows begin with the frame's number; the write-done time of each number is
// kept, so that the client can tell the age of what it receives.
struct StampedWriter {
  static constexpr int kFrames = 1 << 16;
  std::vector<double> writeDone = std::vector<double>(kFrames, 0);
  std::atomic<bool> running{true};
  Clock::time_point epoch = Clock::now();
  std::thread thread;
  OwnSection section{"age"};

  void Start(int framesPerSecond) {
    thread = std::thread([this, framesPerSecond] {
      const auto stride = static_cast<std::size_t>(DibStride(640));
      std::vector<unsigned char> frame(stride * 480, 90);
      const auto start = Clock::now();
      for (std::uint32_t n = 1; running && n < kFrames; ++n) {
        for (std::size_t row = 0; row < 480; ++row) std::memcpy(frame.data() + row * stride, &n, sizeof n);
        WriteFrameToSection(frame.data(), section.cell, static_cast<std::int32_t>(frame.size()), 640, 480);
        writeDone[n] = Seconds(Clock::now() - epoch);
        std::this_thread::sleep_until(start + std::chrono::microseconds(1000000 / framesPerSecond) * n);
      }
    });
  }
  void Stop() {
    running = false;
    thread.join();
  }
};

struct Delivery {
  StampedWriter* writer = nullptr;
  std::mutex lock;
  std::vector<double> ages;     // ms
  std::vector<double> arrivals;  // s since the writer's epoch
};

GstFlowReturn OnSample(GstAppSink* sink, gpointer data) {
  auto* delivery = static_cast<Delivery*>(data);
  GstSample* sample = gst_app_sink_pull_sample(sink);
  if (!sample) return GST_FLOW_ERROR;
  const double now = Seconds(Clock::now() - delivery->writer->epoch);
  GstMapInfo map;
  GstBuffer* buffer = gst_sample_get_buffer(sample);
  if (gst_buffer_map(buffer, &map, GST_MAP_READ)) {
    std::uint32_t n = 0;
    std::memcpy(&n, map.data, sizeof n);
    std::lock_guard guard(delivery->lock);
    delivery->arrivals.push_back(now);
    if (n > 0 && n < StampedWriter::kFrames && delivery->writer->writeDone[n] > 0) {
      delivery->ages.push_back((now - delivery->writer->writeDone[n]) * 1000);
    }
    gst_buffer_unmap(buffer, &map);
  }
  gst_sample_unref(sample);
  return GST_FLOW_OK;
}

// Runs ostrelsrc -> appsink for `seconds`. The appsink takes each buffer as the source delivers
// it (no sync of its own): the source itself paces on the pipeline clock, and a sink's own render
// deadline (20 ms by default for GStreamer sinks) is the client's choice, not the camera's.
bool RunClient(bool lowLatency, double seconds, StampedWriter& writer, Delivery& delivery) {
  const std::string description =
      std::string("ostrelsrc low-latency=") + (lowLatency ? "true" : "false") +
      " ! video/x-raw,width=640,height=480 ! appsink name=out sync=false max-buffers=2 drop=false";
  GError* error = nullptr;
  GstElement* pipeline = gst_parse_launch(description.c_str(), &error);
  if (!pipeline) {
    std::fprintf(stderr, "pipeline: %s\n", error ? error->message : "?");
    return false;
  }
  delivery.writer = &writer;
  GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline), "out");
  GstAppSinkCallbacks callbacks{};
  callbacks.new_sample = OnSample;
  gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, &delivery, nullptr);
  gst_object_unref(sink);
  gst_element_set_state(pipeline, GST_STATE_PLAYING);
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  gst_element_set_state(pipeline, GST_STATE_NULL);
  gst_object_unref(pipeline);
  return true;
}

void MeasureAgeAndCadence(double cadenceSeconds, double defaultSeconds) {
  StampedWriter writer;
  writer.Start(60);
  Delivery lowLatency;
  Delivery steady;
  RunClient(false, defaultSeconds, writer, steady);
  RunClient(true, cadenceSeconds, writer, lowLatency);
  writer.Stop();

  // The first second of each run is the start-up (the list fills, the clock settles).
  const auto settled = [](const Delivery& d) {
    std::vector<double> ages(d.ages.begin() + std::min<std::size_t>(30, d.ages.size()), d.ages.end());
    return ages;
  };
  const auto lowAges = settled(lowLatency);
  const auto steadyAges = settled(steady);
  const double p50 = Percentile(lowAges, 0.5), p99 = Percentile(lowAges, 0.99);
  const double steadyP50 = Percentile(steadyAges, 0.5), steadyP99 = Percentile(steadyAges, 0.99);
  std::fprintf(stderr, "age low-latency p50 %.1f p99 %.1f ms (%zu); default p50 %.1f p99 %.1f ms (%zu)\n", p50, p99,
               lowAges.size(), steadyP50, steadyP99, steadyAges.size());
  std::printf(
      "{\"figure\": \"picture age p50, low-latency mode\", \"unit\": \"ms\", \"value\": %.2f, \"baseline\": %.2f, "
      "\"goal_ratio\": 0, \"lower_is_better\": true, \"goal\": \"<= 25 ms\", \"met\": %s, \"ratio\": %.4f}\n",
      p50, steadyP50, p50 > 0 && p50 <= 25 ? "true" : "false", p50 / steadyP50);
  std::printf(
      "{\"figure\": \"picture age p99, low-latency mode\", \"unit\": \"ms\", \"value\": %.2f, \"baseline\": %.2f, "
      "\"goal_ratio\": 0, \"lower_is_better\": true, \"goal\": \"<= 45 ms\", \"met\": %s, \"ratio\": %.4f}\n",
      p99, steadyP99, p99 > 0 && p99 <= 45 ? "true" : "false", p99 / steadyP99);

  const auto& arrivals = lowLatency.arrivals;
  if (arrivals.size() > 60) {
    const std::vector<double> window(arrivals.begin() + 30, arrivals.end());
    const double fps = static_cast<double>(window.size() - 1) / (window.back() - window.front());
    std::vector<double> deviations;
    for (std::size_t i = 1; i < window.size(); ++i) {
      deviations.push_back(std::fabs((window[i] - window[i - 1]) * 1000 - 1000.0 / 30));
    }
    const double p99Deviation = Percentile(deviations, 0.99);
    std::fprintf(stderr, "cadence %.3f fps over %.1f s, inter-frame p99 deviation %.2f ms\n", fps,
                 window.back() - window.front(), p99Deviation);
    std::printf(
        "{\"figure\": \"delivery cadence over %.0f s\", \"unit\": \"fps\", \"value\": %.3f, \"baseline\": 30, "
        "\"goal_ratio\": 0, \"lower_is_better\": false, \"goal\": \"30.0 +- 0.1 fps\", \"met\": %s, \"ratio\": %.4f}\n",
        cadenceSeconds, fps, std::fabs(fps - 30) <= 0.1 ? "true" : "false", fps / 30);
    std::printf(
        "{\"figure\": \"inter-frame p99 deviation from 33.3 ms\", \"unit\": \"ms\", \"value\": %.3f, \"baseline\": "
        "33.333, \"goal_ratio\": 0, \"lower_is_better\": true, \"goal\": \"<= 5 ms\", \"met\": %s, \"ratio\": %.4f}\n",
        p99Deviation, p99Deviation <= 5 ? "true" : "false", p99Deviation / 33.333);
  }
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  const bool quick = argc > 1 && std::string(argv[1]) == "--quick";
  // Keep the camera from starting the main program and its log out of the user's folders.
  char folder[] = "/tmp/kalimo-bench-path-XXXXXX";
  if (!mkdtemp(folder)) return 1;
  setenv("XDG_CONFIG_HOME", folder, 1);
  setenv("XDG_RUNTIME_DIR", folder, 1);
  gst_init(&argc, &argv);

  MeasureUnchangedSectionCpu();
  MeasureTornFrames(quick ? 5 : 30);
  MeasureAgeAndCadence(quick ? 10 : 60, quick ? 5 : 15);

  std::string cleanup = std::string("rm -rf '") + folder + "'";
  return std::system(cleanup.c_str()) == 0 ? 0 : 1;
}
