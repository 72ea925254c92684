#pragma once
// The steps of writing a file safely: every byte written, and the folder's entry made durable.
#include <string>

namespace kalimo::platform {

// Writes all of `bytes` to `descriptor`, going on after interrupted or partial writes.
bool WriteAll(int descriptor, const std::string& bytes);

// Flushes the folder itself, so that a file just renamed into it survives a power cut.
void SyncFolder(const std::string& folder);

// After a failed write: closes `descriptor` and removes `path` if it is a regular file, never a
// device (/dev/full) or other special file that the user named as the target.
void CloseAndDiscard(int descriptor, const std::string& path);

}  // namespace kalimo::platform
