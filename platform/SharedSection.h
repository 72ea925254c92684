#pragma once
// The writable side of the frame section, as the section writer (common/) needs it: named shared
// memory, implemented once per system (SharedSection.cpp: POSIX shared memory; win32/
// SharedSectionWin32.cpp: a named, paging-file-backed file mapping). Every call reports the system
// error code (errno, GetLastError) through `error` instead of throwing.
#include <cstddef>
#include <cstdint>
#include <string>

namespace kalimo::platform {

using SectionHandle = std::intptr_t;  // a file descriptor here, a HANDLE on Windows
inline constexpr SectionHandle kNoSection = -1;

// The per-user name of the frame section. The environment variable KALIMO_SECTION overrides it,
// so that tests and side-by-side set-ups each use their own object.
std::string FrameSectionName();

// Opens or creates the object read/write with mode 0600 and grows it to at least `size` bytes.
// (Windows: a writer that may not create a "Global\" object creates the "Local\" one instead.)
// An existing object of the same name is reused, as long as the current user owns it and it is a
// regular object: one owned by somebody else fails with EACCES, anything else (a FIFO, a link)
// with ELOOP or EINVAL. Opening never blocks and never follows a link.
SectionHandle CreateSection(const std::string& name, std::size_t size, int& error);

// Opens an existing object for reading only (the Linux receiver's; Windows opens it in
// ReceiverPlatformWin32.cpp). Only a regular object that the current user owns and
// nobody else may write is opened (the same codes as CreateSection otherwise): a picture planted
// by another user is never shown.
SectionHandle OpenSectionReadOnly(const std::string& name, int& error);

// The text that tells the user why the object under `name` cannot be used and how to remove it
// (naming its owner when another user owns it). Empty when the object is missing or usable.
std::string SectionProblemText(const std::string& name);

// Maps `size` bytes from offset 0. Returns nullptr on failure. A mapping longer than the object
// would fault on access, so the object's size is checked first (EINVAL when it is too small).
// A writable mapping is guarded: when the object is shrunk under it (by another process of the
// user), the access that faults gives the object its size back instead of killing the process.
void* MapSection(SectionHandle handle, std::size_t size, bool writable, int& error);
void UnmapSection(void* view, std::size_t size);
void CloseSection(SectionHandle handle);

// Removes the name; mappings and handles that are still open stay valid until closed. (Windows
// removes a name with its last handle; there this does nothing.)
bool RemoveSection(const std::string& name);

}  // namespace kalimo::platform
