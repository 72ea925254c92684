#pragma once
// Checks of kalimo-feed's output files before anything is fed, so that a wrong name fails at once
// with its real cause instead of after a whole video.
#include <string>

namespace kalimo::feed {

// Why `path` cannot be written as an output file: its folder is missing, not a folder or not
// writable, or the path is a folder or a file that may not be written. Empty when it can be
// written; the check creates nothing.
std::string OutputFileProblem(const std::string& path);

// A warning when `path` does not end in `extension` (".avi"; any of `alsoAccepted`, separated by
// spaces, is fine too), saying what `kind` the file holds; empty when the name fits.
std::string ExtensionWarning(const std::string& path, const std::string& extension, const std::string& alsoAccepted,
                             const std::string& kind);

}  // namespace kalimo::feed
