#pragma once
// Painting the media sources' latest frame in a window: the picture is stretched over the whole
// target, without keeping its aspect ratio, as the video window has always shown it. Called from
// a paintEvent on the window's own thread; the streaming thread only asked for the repaint.
#include "media/BgrFrameSink.h"

class QPainter;
class QRect;

namespace kalimo::media {

class CCaptureVideo;
class CMyVideoPlayer;

// `topDownFrame`: BGR rows, top row first.
void PaintVideoFrame(QPainter& painter, const QRect& target, const FrameView& topDownFrame);

// The latest picture of the player or the camera; false (nothing painted) when there is none.
bool RepaintVideo(const CMyVideoPlayer& player, QPainter& painter, const QRect& target);
bool RepaintVideo(const CCaptureVideo& capture, QPainter& painter, const QRect& target);

}  // namespace kalimo::media
