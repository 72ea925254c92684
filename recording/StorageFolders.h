#pragma once
// The storage folder and its photo and movie folders.
#include <string>

namespace kalimo {

// Succeeds when `path` exists or was created (one level, no parents); otherwise shows the path
// followed by the system's error text through ShowWarning.
bool EnsureFolder(const std::string& path);

// Like EnsureFolder, but creates the missing folders above `path` too (new folders are private to
// the user, mode 0700); the warning names the folder that could not be made.
bool EnsureFolderPath(const std::string& path);

// Creates the storage folder of the current settings with every missing folder above it (a fresh
// account may have no Videos folder yet), then its photo and movie folders. A storage folder that
// cannot be made is reported once, and the two below it are not tried. Runs once per run: later
// calls do nothing.
void PrepareStorageFolders();
// True once PrepareStorageFolders has run in this process.
bool StorageFoldersPrepared();

}  // namespace kalimo
