#pragma once
// The virtual camera as a device: one "Video/Source" named after the device entry's FriendlyName,
// present while the camera is registered.
#include <gst/gst.h>

G_BEGIN_DECLS

#define GST_TYPE_OSTREL_DEVICE_PROVIDER (gst_ostrel_device_provider_get_type())
G_DECLARE_FINAL_TYPE(GstOstrelDeviceProvider, gst_ostrel_device_provider, GST, OSTREL_DEVICE_PROVIDER,
                     GstDeviceProvider)

#define GST_TYPE_OSTREL_DEVICE (gst_ostrel_device_get_type())
G_DECLARE_FINAL_TYPE(GstOstrelDevice, gst_ostrel_device, GST, OSTREL_DEVICE, GstDevice)

G_END_DECLS
