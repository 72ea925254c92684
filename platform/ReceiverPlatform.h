#pragma once
// Everything the virtual camera's frame receiver needs from the operating system, and nothing more.
// The receiver (filter/) is portable C++: it reaches the system only through this header, which each
// system implements once (ReceiverPlatformLinux.cpp here). Threads, the re-entrant lock and atomics
// are std::thread / std::recursive_mutex / std::atomic and need no wrapping.
//
// Conventions: no exceptions; failures return false, an empty string or nullptr, with the system's
// own error code (errno, GetLastError) in `error` where the caller logs it.
#include <cstddef>
#include <cstdint>
#include <string>

namespace kalimo::platform {

// The per-user name of the frame section (KALIMO_SECTION overrides it). Declared in SharedSection.h
// as well; defined once per system.
std::string FrameSectionName();

// Read-only access to the frame section. Everything is copied out with Read, never touched through
// a mapping that the writer (or anybody else) could shrink under the copy: a section that got
// shorter gives a failed Read, never a fault that would kill the client application.
class ReadOnlySectionView {
 public:
  ReadOnlySectionView() = default;
  ~ReadOnlySectionView();  // closes the handle
  ReadOnlySectionView(const ReadOnlySectionView&) = delete;
  ReadOnlySectionView& operator=(const ReadOnlySectionView&) = delete;

  // Opens the named section for reading only (not inheritable by child processes), without
  // blocking and without following links. Only a section of the current user, that nobody else may
  // write into, is opened: anything else fails with the system's "access denied" code (EACCES,
  // ERROR_ACCESS_DENIED), or EINVAL for an object that is no shared memory at all. A section that
  // does not exist fails with the system's "not found" code (ENOENT = 2, ERROR_FILE_NOT_FOUND = 2).
  bool Open(const std::string& name, int& error);
  // Copies `size` bytes from `offset`. Fails when the section is shorter.
  bool Read(std::size_t offset, void* out, std::size_t size, int& error);

 private:
  std::intptr_t handle_ = -1;  // a file descriptor here, a HANDLE on Windows
};

// The full path of `name` inside `folder` of the user's roaming application data
// ($XDG_CONFIG_HOME here, %APPDATA% on Windows), e.g. UserDataFile("Zemvio", "logvam.log").
// Empty when the user's folder is unknown. Creates nothing.
std::string UserDataFile(const std::string& folder, const std::string& name);

enum class AppendResult { kWritten, kOverLimit, kFailed };

// Appends `size` bytes to the file at `path` (created if missing; its folder is never created),
// unless the file already holds more than `limit` bytes (kOverLimit, nothing written). The bytes
// are written whole and flushed to the file before it is closed.
AppendResult AppendToFile(const std::string& path, const void* bytes, std::size_t size, std::uint64_t limit);

// The full path of `name` in the folder of the module (plugin / DLL) that contains this code, with
// symbolic links resolved. Empty on failure, with the system's code in `error`.
std::string ModuleFilePath(const std::string& name, int& error);

// Starts the program at `path` with no arguments in its own folder, detached from this process (its
// own session, no inherited handles, standard streams on the null device); nothing waits for it. False when it
// cannot be started.
bool StartDetachedProgram(const std::string& path, int& error);

// True while the main program (or another producer) serves the single-instance endpoint.
bool MainProgramIsRunning();

void SleepMilliseconds(int milliseconds);

// Diagnostic text for a developer (the debugger output on Windows; stderr here when the environment
// variable KALIMO_FILTER_DEBUG is set). Never seen by users.
void DebugOutput(const std::string& text);

}  // namespace kalimo::platform
