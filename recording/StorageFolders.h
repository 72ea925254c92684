#pragma once
// The storage folder and its photo and movie folders.
#include <string>

namespace kalimo {

// Succeeds when `path` exists or was created (one level, no parents); otherwise shows the path
// followed by the system's error text through ShowWarning.
bool EnsureFolder(const std::string& path);

// Creates the storage, photo and movie folders of the current settings, in that order, each one
// level deep. Runs once per run: later calls do nothing.
void PrepareStorageFolders();
// True once PrepareStorageFolders has run in this process.
bool StorageFoldersPrepared();

}  // namespace kalimo
