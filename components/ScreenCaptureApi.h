#pragma once
// The screen-capture component's two entry points, as the program binds them by name after loading
// libScreenCapture.so. C linkage, so that the names in the library are exactly these.
//
//   int ScreenCapture(ScreenFrameFunction frameCallback, int regionMode, int record, void* notifyWindow);
//   void FreeScreenCapture(void);
//
// regionMode: 0 the user drags an area on a full-screen overlay (Escape there cancels), 1 a window
// (not supported: the capture ends at once), 2 the whole screen. Either capture runs until Escape.
// On a Wayland session the desktop's ScreenCast portal supplies the picture instead: its sharing
// dialog offers monitors for 2, windows and monitors for 0; the capture runs until Escape in the
// component's small stop window (or its button), or until the user stops sharing at the desktop.
// record 0: every captured frame goes to `frameCallback` (when not null) as a packed bitmap: a
// BITMAPINFOHEADER, biClrUsed 4-byte colour-table entries (none for our 24-bit frames), then the
// rows, bottom-up, BGR, each padded to 4 bytes. The callback runs on a capture thread; it must not
// wait for the thread that started the capture. The frame is valid only during the call.
// record 1: the screen is recorded into a WebM (VP8) file in the movie folder of the settings,
// named like the program's other movies; the file plays even when the process is killed.
//
// notifyWindow: a QObject* of the calling program, passed as an opaque pointer. When the capture
// ends, the component posts one QEvent of type kScreenCaptureFinishedEvent to it, so the object
// receives it on its own thread. No frame reaches the callback after that event has been posted.
// If the object is destroyed before the end, nothing is posted. ScreenCapture and FreeScreenCapture
// are called on the thread of the program's QApplication; ScreenCapture returns at once (0 when
// the capture started or the finished notice is on its way, which is always).
// FreeScreenCapture stops whatever still runs, without a notice, before the library is unloaded.
#include <cstdint>

#include "media/sources/PackedBitmap.h"

extern "C" {

// The program's frame receiver: 1 when it took the frame, 0 when it did not.
typedef int (*ScreenFrameFunction)(const void* packedBitmap);
typedef int (*ScreenCaptureFunction)(ScreenFrameFunction frameCallback, int regionMode, int record,
                                     void* notifyWindow);
typedef void (*FreeScreenCaptureFunction)(void);

}

// The QEvent::Type of the finished notice (the number of the Windows message it stands for).
inline constexpr int kScreenCaptureFinishedEvent = 1035;

inline constexpr int kRegionArea = 0;
inline constexpr int kRegionWindow = 1;
inline constexpr int kRegionWholeScreen = 2;
