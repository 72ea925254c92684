#pragma once
// Building and starting the playback pipeline of the video file player. One pipeline serves every
// kind of file: playbin picks the demuxer and decoders, the video goes to the player's frame sink,
// the sound to the user's sound output (a silent sink where there is none).
#include <cstdint>
#include <string>

typedef struct _GstElement GstElement;

namespace kalimo::media {

// How long a file may take to show its first picture before loading gives up.
inline constexpr std::int64_t kPrerollTimeoutNs = 15'000'000'000;

// A playbin for `path` (any file name: spaces and non-ASCII characters are fine) that sends its
// video to `videoSink`, and its sound to the sound output, or, without `soundOutput`, nowhere (at
// the same pace). Null with `result` set on failure.
GstElement* BuildPlaybackPipeline(const std::string& path, GstElement* videoSink, bool soundOutput, int& result);

// Pauses the pipeline and waits until the first picture is ready. Returns kOk, or the failure
// result of the first error (missing decoders, unreadable or damaged files), logged with its text.
// When GStreamer reported a missing plugin, `missingPlugin` gets its description and the
// installer's detail ("description (detail)").
int PrerollPipeline(GstElement* pipeline, const std::string& path, std::string& missingPlugin);

// After the preroll: the file's video must have reached `videoSink` (it has caps); a file without a
// video stream fails with kNotGrabbed and "grabber is not grabbed".
int CheckVideoReachedSink(GstElement* videoSink);
// After the preroll: whether the file's sound reached the pipeline's sound sink.
bool SoundReachedSink(GstElement* pipeline);

}  // namespace kalimo::media
