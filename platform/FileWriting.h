#pragma once
// The steps of writing a file safely: every byte written, and the folder's entry made durable.
#include <string>

namespace kalimo::platform {

// Writes all of `bytes` to `descriptor`, going on after interrupted or partial writes.
bool WriteAll(int descriptor, const std::string& bytes);

// Flushes the folder itself, so that a file just renamed into it survives a power cut.
void SyncFolder(const std::string& folder);

}  // namespace kalimo::platform
