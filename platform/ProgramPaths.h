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

// $XDG_STATE_HOME, else $HOME/.local/state.
std::string UserStateDirectory();

// The file in the program folder that only the Debian package installs. With it, the program
// folder belongs to the system and each user's files live in that user's XDG folders.
inline constexpr const char* kPackagedMarkerFile = "installed-by-package";
bool IsPackagedProgram();

// What a user keeps: the settings (config.ini), the lists (chapters.dat, actionAndMovie.dat,
// images.dat) and the log.
enum class UserFiles { Settings, Lists, Log };

// The folder of one kind of the user's files, without a trailing "/": the program folder (a build
// folder, or a copy the user owns); for a packaged program $XDG_CONFIG_HOME/kalimo,
// $XDG_DATA_HOME/kalimo and $XDG_STATE_HOME/kalimo, made on first use, readable by the user only.
// Empty when the folder cannot be made.
std::string UserFilesDirectory(UserFiles kind);

// The programs' folder in the user's runtime folder, which lives as long as the user's session:
// $XDG_RUNTIME_DIR/kalimo, or the user's own cache folder (never /tmp) when XDG_RUNTIME_DIR is not
// set. Not created here.
std::string KalimoRuntimeDirectory();

}  // namespace kalimo::platform
