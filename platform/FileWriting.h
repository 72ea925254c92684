#pragma once
// The steps of writing a file safely: every byte written, and the folder's entry made durable.
#include <string>

namespace kalimo::platform {

// Writes all of `bytes` to `descriptor`, going on after interrupted or partial writes.
bool WriteAll(int descriptor, const std::string& bytes);

// Flushes the folder itself, so that a file just renamed into it survives a power cut.
void SyncFolder(const std::string& folder);

enum class ReplaceResult { kReplaced, kWriteFailed, kRenameFailed };

// Replaces the file at `path` in one rename, from a fresh temporary file beside it that the caller
// has opened as `descriptor` under the name `temporary`: writes all of `bytes`, flushes them to the
// disk, closes the file, renames it over `path` and flushes the folder. A reader or a power cut
// finds the old file or the new one, never a part. On failure the temporary file is removed and
// `path` stays as it was; the result says which step failed, with errno's code in `error`.
ReplaceResult WriteAndReplace(int descriptor, const std::string& temporary, const std::string& path,
                              const std::string& bytes, int& error);

// After a failed write: closes `descriptor` and removes `path` if it is a regular file, never a
// device (/dev/full) or other special file that the user named as the target.
void CloseAndDiscard(int descriptor, const std::string& path);

}  // namespace kalimo::platform
