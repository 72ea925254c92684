#pragma once
// Painting the media sources' latest frame in a window: the picture is stretched over the whole
// target, without keeping its aspect ratio, as the video window has always shown it. Called from
// a paintEvent on the window's own thread; the streaming thread only asked for the repaint.
#include "media/base/BgrFrameSink.h"

class QPainter;
class QRect;

namespace kalimo::media {

// `topDownFrame`: BGR rows, top row first.
void PaintVideoFrame(QPainter& painter, const QRect& target, const FrameView& topDownFrame);

// The latest picture of the player or the camera (anything with ReadPreviewFrame); false (nothing
// painted) when there is none.
template <typename Source>
bool RepaintVideo(const Source& source, QPainter& painter, const QRect& target) {
  return source.ReadPreviewFrame([&](const FrameView& frame) { PaintVideoFrame(painter, target, frame); });
}

}  // namespace kalimo::media
