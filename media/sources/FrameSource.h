#pragma once
// One source of pictures for the frame section: a video file, a camera, a still picture or the
// screen. The owner starts it, polls it now and then on its own thread, and stops it; every picture
// goes into the frame section first and then to the preview hook. kalimo-feed drives the sources
// through this interface; the tabs drive the same work underneath, each through what its controls
// need: the video tab the player (media/player/), the camera tab the capture (media/camera/), the
// image tab an ImageSource per slide, and the screen tab the screen pipeline, through the
// screen-capture component.
#include <functional>
#include <string>

#include "common/FrameSectionLayout.h"
#include "media/camera/CameraFormats.h"

namespace kalimo::media {

// A picture that has just gone into the frame section, in the section's own view: bottom-up rows
// padded to 4 bytes. Called on the source's streaming thread; the view is valid during the call only.
using FramePreview = std::function<void(const FrameView& frame)>;

class FrameSource {
 public:
  virtual ~FrameSource() = default;

  // Starts feeding; false with `error` saying why in plain words. `preview` may be empty.
  virtual bool Start(FramePreview preview, std::string& error) = 0;
  // Stops feeding; no preview call is made once it has returned. Safe to call repeatedly.
  virtual void Stop() = 0;
  // Called now and then on the owner's thread: does the source's timed work (a picture sent again,
  // a video started again). False once the source has ended (`error` empty) or failed (`error`
  // says why).
  virtual bool Poll(std::string& error) = 0;

  // The picture's size, known once started.
  virtual FrameSize Size() const = 0;
  // Pictures per second; 0 when unknown.
  virtual double FrameRate() const = 0;
  // What it feeds, for status lines: "video clip.avi", "camera 0", "image p.png", "screen".
  virtual std::string Label() const = 0;
};

// The plain words for a file operation's errno: "no such file", "is a folder", "permission
// denied", or the system's text.
std::string FileErrorText(int code);

// Why `path` cannot be read as a source file ("no such file", "is a folder", "permission
// denied", or the system's text); empty when it opens for reading.
std::string SourceFileProblem(const std::string& path);

}  // namespace kalimo::media
