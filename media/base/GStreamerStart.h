#pragma once
// Starting GStreamer for a media source: once per process, and a failure is told to the user the
// way a failed COM start was.
namespace kalimo::media {

// True when GStreamer is ready; otherwise logs why and shows "CoInitialize Failed!".
bool StartGStreamer();

}  // namespace kalimo::media
