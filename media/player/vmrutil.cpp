#include "media/player/vmrutil.h"

#include <gst/gst.h>
#include <gst/pbutils/missing-plugins.h>

#include "common/Logging.h"
#include "media/base/MediaResult.h"
#include "media/player/SoundOutput.h"

namespace kalimo::media {

namespace {

// playbin's flags: video, audio, software volume, deinterlacing; no subtitles drawn into the picture.
constexpr guint kPlayFlags = 0x1 | 0x2 | 0x10 | 0x200;

void LogError(GstMessage* message, const std::string& path) {
  GError* error = nullptr;
  gchar* debug = nullptr;
  gst_message_parse_error(message, &error, &debug);
  KALIMO_LOG_ERROR("%s: %s (%s)", path.c_str(), error ? error->message : "?", debug ? debug : "");
  g_clear_error(&error);
  g_free(debug);
}

}  // namespace

GstElement* BuildPlaybackPipeline(const std::string& path, GstElement* videoSink, bool soundOutput, int& result) {
  GError* error = nullptr;
  gchar* uri = gst_filename_to_uri(path.c_str(), &error);
  if (!uri) {
    KALIMO_LOG_ERROR("%s: %s", path.c_str(), error ? error->message : "not a file name");
    g_clear_error(&error);
    result = kFileNotFound;
    return nullptr;
  }
  // One file per pipeline: the player never asks playbin to switch files itself ("about-to-finish").
  // In GStreamer 1.22 that switch deadlocks on every file with both sound and pictures (the thread
  // making it holds playbin's lock while it waits for a streaming thread of the old file, which
  // waits in the stream synchronizer for the other stream), and playbin3's hangs when the pipeline
  // is stopped during it.
  GstElement* playbin = gst_element_factory_make("playbin", nullptr);
  // Without a sound output anywhere, the silent sink: autoaudiosink would ask ALSA and OpenAL,
  // which print their errors on the terminal, before it falls back to a silent sink itself.
  if (soundOutput && !SoundOutputAvailable()) soundOutput = false;
  GstElement* audioSink = gst_element_factory_make(soundOutput ? "autoaudiosink" : "fakesink", nullptr);
  if (!playbin) {
    KALIMO_LOG_ERROR("the GStreamer element playbin is missing");
    g_free(uri);
    if (audioSink) gst_object_unref(audioSink);
    result = kUnsupportedStream;
    return nullptr;
  }
  g_object_set(playbin, "uri", uri, "flags", kPlayFlags, "video-sink", videoSink, nullptr);
  // Without a sound server autoaudiosink still falls back to a silent sink that keeps the pace; the
  // silent sink keeps it too, without asking any sound library.
  if (audioSink && !soundOutput) g_object_set(audioSink, "sync", TRUE, nullptr);
  if (audioSink) g_object_set(playbin, "audio-sink", audioSink, nullptr);
  g_free(uri);
  result = kOk;
  return playbin;
}

int PrerollPipeline(GstElement* pipeline, const std::string& path, std::string& missingPlugin) {
  // A refused state change has already posted its error; otherwise wait for the first picture.
  const bool refused = gst_element_set_state(pipeline, GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE;
  const auto timeout = static_cast<GstClockTime>(refused ? 0 : kPrerollTimeoutNs);
  GstBus* bus = gst_element_get_bus(pipeline);
  int result = refused ? kFail : kTimeout;
  missingPlugin.clear();
  for (;;) {
    GstMessage* message = gst_bus_timed_pop_filtered(
        bus, timeout,
        static_cast<GstMessageType>(GST_MESSAGE_ERROR | GST_MESSAGE_ASYNC_DONE | GST_MESSAGE_ELEMENT));
    if (!message) {
      if (!refused)
        KALIMO_LOG_ERROR("%s: no picture after %d s", path.c_str(), static_cast<int>(kPrerollTimeoutNs / 1000000000));
      break;
    }
    if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ELEMENT) {
      if (gst_is_missing_plugin_message(message)) {
        gchar* description = gst_missing_plugin_message_get_description(message);
        gchar* detail = gst_missing_plugin_message_get_installer_detail(message);
        if (missingPlugin.empty()) {
          missingPlugin = description ? description : "a GStreamer plugin";
          if (detail) missingPlugin += std::string(" (") + detail + ")";
        }
        g_free(description);
        g_free(detail);
      }
      gst_message_unref(message);
      continue;
    }
    if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) {
      GError* error = nullptr;
      gst_message_parse_error(message, &error, nullptr);
      result = ResultOfError(error);
      g_clear_error(&error);
      LogError(message, path);
      if (!missingPlugin.empty()) KALIMO_LOG_ERROR("%s: missing decoder: %s", path.c_str(), missingPlugin.c_str());
      gst_message_unref(message);
      break;
    }
    if (GST_MESSAGE_SRC(message) == GST_OBJECT(pipeline)) {  // the pipeline's own ASYNC_DONE
      gst_message_unref(message);
      result = kOk;
      break;
    }
    gst_message_unref(message);
  }
  gst_object_unref(bus);
  return result;
}

bool StreamReachedSink(GstElement* sink) {
  if (!sink) return false;
  GstPad* pad = gst_element_get_static_pad(sink, "sink");
  if (!pad) return false;
  GstCaps* caps = gst_pad_get_current_caps(pad);
  gst_object_unref(pad);
  if (!caps) return false;
  gst_caps_unref(caps);
  return true;
}

int CheckVideoReachedSink(GstElement* videoSink) {
  if (StreamReachedSink(videoSink)) return kOk;
  KALIMO_LOG_ERROR("grabber is not grabbed");
  return kNotGrabbed;
}

bool SoundReachedSink(GstElement* pipeline) {
  GstElement* audioSink = nullptr;
  g_object_get(pipeline, "audio-sink", &audioSink, nullptr);
  const bool reached = StreamReachedSink(audioSink);
  if (audioSink) gst_object_unref(audioSink);
  return reached;
}

}  // namespace kalimo::media
