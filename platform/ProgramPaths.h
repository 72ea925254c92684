#pragma once
// Where the program and the user's files live.
#include <string>

namespace kalimo::platform {

// The folder of the running executable, without a trailing "/". KALIMO_PROGRAM_DIR overrides it
// (tests, and users who keep the program's data elsewhere).
std::string ProgramDirectory();

// $XDG_CONFIG_HOME, else $HOME/.config.
std::string UserConfigDirectory();

// $XDG_CACHE_HOME, else $HOME/.cache.
std::string UserCacheDirectory();

// $XDG_DATA_HOME, else $HOME/.local/share.
std::string UserDataDirectory();

// The programs' folder in the user's runtime folder, which lives as long as the user's session:
// $XDG_RUNTIME_DIR/kalimo, or the user's own cache folder (never /tmp) when XDG_RUNTIME_DIR is not
// set. Not created here.
std::string KalimoRuntimeDirectory();

}  // namespace kalimo::platform
