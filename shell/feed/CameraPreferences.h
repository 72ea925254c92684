#pragma once
// What the user chooses for the virtual camera as a whole, kept in its device entry so that every
// application that opens the camera afterwards follows it.
#include <string>

namespace kalimo::feed {

// Makes the cameras deliver the newest picture at once (true) or the steady default (false).
// Fails, with `error` saying why, when the camera is not registered.
bool StoreCameraLowLatency(bool lowLatency, std::string& error);
// Makes the cameras show a picture of another shape whole, centred with black bands (true), or
// stretched over the whole picture (false). Fails like StoreCameraLowLatency.
bool StoreCameraKeepAspect(bool keepAspect, std::string& error);

}  // namespace kalimo::feed
