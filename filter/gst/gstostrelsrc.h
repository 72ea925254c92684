#pragma once
// ostrelsrc: the virtual camera as a GStreamer live source.
#include <gst/base/gstpushsrc.h>
#include <gst/video/video.h>

G_BEGIN_DECLS

#define GST_TYPE_OSTREL_SRC (gst_ostrel_src_get_type())
G_DECLARE_FINAL_TYPE(GstOstrelSrc, gst_ostrel_src, GST, OSTREL_SRC, GstPushSrc)

G_END_DECLS

// The caps the source offers, preferred first (also the device's caps).
GstCaps* gst_ostrel_src_offered_caps(void);
