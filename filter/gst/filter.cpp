// The Ostrel plugin: the virtual camera source and its device provider.
#include <gst/gst.h>

#include "filter/gst/gstostreldeviceprovider.h"
#include "filter/gst/gstostrelsrc.h"

#ifndef PACKAGE
#define PACKAGE "kalimo"
#endif

static gboolean plugin_init(GstPlugin* plugin) {
  // A provider of rank NONE would be ignored by the device monitor.
  return gst_element_register(plugin, "ostrelsrc", GST_RANK_NONE, GST_TYPE_OSTREL_SRC) &&
         gst_device_provider_register(plugin, "ostreldeviceprovider", GST_RANK_MARGINAL,
                                      GST_TYPE_OSTREL_DEVICE_PROVIDER);
}

GST_PLUGIN_DEFINE(GST_VERSION_MAJOR, GST_VERSION_MINOR, ostrel, "Kalimo virtual camera", plugin_init, "0.1",
                  "unknown", "Kalimo", "https://kalimo.invalid/")
