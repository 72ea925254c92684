#pragma once
// Whether this session has anywhere to play sound: a sound server (PulseAudio, or PipeWire with
// its PulseAudio service) or a sound card. Without one, asking the sound libraries fills the
// terminal with their errors at every start, so the player drops the sound at its pace instead.
#include <string>

namespace kalimo::media {

// Looks once per process; logs one INFO line when there is no sound output.
bool SoundOutputAvailable();

// The look itself: a PulseAudio server named by PULSE_SERVER, a server socket in `runtimeDir`
// ("pulse/native", "pipewire-0"), or a playback device in `soundDevicesDir` ("pcmC0D0p").
bool FindSoundOutput(const std::string& runtimeDir, const std::string& soundDevicesDir);

}  // namespace kalimo::media
