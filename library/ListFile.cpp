#include "library/ListFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "common/Logging.h"
#include "platform/FileWriting.h"
#include "platform/PlainText.h"
#include "platform/ProgramPaths.h"
#include "platform/TextEncoding.h"

namespace kalimo {

namespace {

constexpr const char* kLineEnd = "\r\n";

bool Exists(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0;
}

// The whole content of a regular file; empty when it cannot be opened or read.
std::optional<std::string> ReadRegularFile(const std::string& path) {
  // Not blocking on open: a pipe in the list's place must not hang the program.
  const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (descriptor < 0) return std::nullopt;
  struct stat info {};
  if (::fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(descriptor);
    return std::nullopt;
  }
  std::string content;
  char buffer[65536];
  for (;;) {
    const ssize_t count = ::read(descriptor, buffer, sizeof buffer);
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) {
      ::close(descriptor);
      return std::nullopt;
    }
    if (count == 0) break;
    content.append(buffer, static_cast<std::size_t>(count));
  }
  ::close(descriptor);
  return content;
}

// The entries of a list file's content: lines end at LF (a CR before it is not part of the line),
// and empty lines are skipped. Every other byte, a NUL too, belongs to the entry.
std::vector<std::string> SplitEntries(const std::string& content) {
  std::vector<std::string> entries = platform::SplitLines(content);
  std::erase_if(entries, [](const std::string& entry) { return entry.empty(); });
  return entries;
}

// For log records: the entry as UTF-8 if it converts, else as it is.
std::string Printable(const std::string& narrow) {
  return platform::Gb18030ToUtf8(narrow).value_or(narrow);
}

}  // namespace

std::string ListFile::GetSampleVideoPath() { return platform::ProgramDirectory() + "/" + kSampleVideoEntry; }

std::optional<std::string> ListFile::GetListFilePath(const std::string& name) {
  const std::string folder = platform::UserFilesDirectory(platform::UserFiles::Lists);
  if (folder.empty()) {
    KALIMO_LOG_DEBUG("Fail to get corvessa path error code = %d", errno);
    return std::nullopt;
  }
  return (folder.back() == '/' ? folder : folder + "/") + name;
}

bool ListFile::ReadListFile(const std::string& name, std::vector<std::string>& lines) {
  lines.clear();
  const std::optional<std::string> path = GetListFilePath(name);
  if (!path) return false;
  const std::optional<std::string> content = ReadRegularFile(*path);
  if (!content) {
    KALIMO_LOG_DEBUG("Failure to open lanuage file");
    return false;
  }
  static const std::string sampleEntry = platform::Utf8ToGb18030(kSampleVideoEntry).value_or(kSampleVideoEntry);
  for (std::string& entry : SplitEntries(*content)) {
    if (entry == sampleEntry) {
      const std::optional<std::string> narrowPath = platform::Utf8ToGb18030(GetSampleVideoPath());
      if (narrowPath) lines.push_back(*narrowPath);
      continue;
    }
    lines.push_back(std::move(entry));
  }
  return true;
}

bool ListFile::WriteListFile(const std::vector<std::string>& lines, const std::string& name) {
  const std::optional<std::string> temporaryPath = GetListFilePath(kTemporaryPrefix + name);
  const std::optional<std::string> path = GetListFilePath(name);
  if (!temporaryPath || !path) return false;

  if (Exists(*temporaryPath) && ::unlink(temporaryPath->c_str()) != 0) {
    KALIMO_LOG_DEBUG("failure to delete old tmp file");
    return false;
  }
  std::string content;
  bool firstEntry = true;
  for (const std::string& entry : lines) {
    // Kept for files that older versions and other tools read with fixed 260-byte lines.
    if (entry.size() > kMaxEntryBytes) {
      KALIMO_LOG_ERROR("List entry longer than %zu bytes left out of %s: %s", kMaxEntryBytes, name.c_str(),
                       Printable(entry).c_str());
      continue;
    }
    // A line break inside an entry would turn it into several entries when the list is read.
    if (entry.find_first_of("\r\n") != std::string::npos) {
      KALIMO_LOG_ERROR("List entry with a line break left out of %s: %s", name.c_str(), Printable(entry).c_str());
      continue;
    }
    if (!firstEntry) content += kLineEnd;
    content += entry;
    firstEntry = false;
  }

  const int descriptor = ::open(temporaryPath->c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (descriptor < 0) {
    KALIMO_LOG_DEBUG("Failure to open lanuage file");
    return false;
  }
  // One rename replaces the old list: it stays whole until the new one is in place.
  const bool hadOldFile = Exists(*path);
  int error = 0;
  switch (platform::WriteAndReplace(descriptor, *temporaryPath, *path, content, error)) {
    case platform::ReplaceResult::kReplaced:
      return true;
    case platform::ReplaceResult::kWriteFailed:
      KALIMO_LOG_DEBUG("failure to write tmp file");
      return false;
    case platform::ReplaceResult::kRenameFailed:
      KALIMO_LOG_DEBUG("%s", hadOldFile ? "failure to delete name of file" : "failure to move file");
      return false;
  }
  return false;
}

bool ListFile::LoadList(const std::string& name, std::vector<std::string>& lines) {
  std::vector<std::string> narrowLines;
  if (!ReadListFile(name, narrowLines)) return false;
  for (std::size_t index = 0; index < narrowLines.size(); ++index) {
    const std::string& narrow = narrowLines[index];
    const bool hasZero = narrow.find('\0') != std::string::npos;
    if (std::optional<std::string> text = platform::Gb18030ToUtf8(narrow); text && !hasZero) {
      lines.push_back(std::move(*text));
    } else if (!hasZero && platform::IsValidUtf8(narrow)) {
      lines.push_back(narrow);  // a list saved as UTF-8 by hand
    } else {
      // Kept with its undecodable bytes escaped, so that the next save writes it back unchanged.
      KALIMO_LOG_ERROR("List entry %zu of %s is not GB18030 text; it is kept as it is", index + 1, name.c_str());
      lines.push_back(platform::Gb18030ToUtf8Escaped(narrow));
    }
  }
  return true;
}

bool ListFile::SaveList(const std::vector<std::string>& lines, const std::string& name) {
  std::vector<std::string> narrowLines;
  narrowLines.reserve(lines.size());
  for (const std::string& line : lines) {
    if (std::optional<std::string> narrow = platform::Utf8ToGb18030Escaped(line)) {
      narrowLines.push_back(std::move(*narrow));
    } else {
      KALIMO_LOG_ERROR("List entry of %s is not UTF-8 text and was left out", name.c_str());
    }
  }
  return WriteListFile(narrowLines, name);
}

bool ListFile::AppendToList(const std::string& name, const std::string& entry) {
  const std::optional<std::string> path = GetListFilePath(name);
  if (!path) return false;
  const std::optional<std::string> narrow = platform::Utf8ToGb18030Escaped(entry);
  if (!narrow || narrow->empty() || narrow->size() > kMaxEntryBytes || narrow->find_first_of("\r\n") != std::string::npos) {
    KALIMO_LOG_ERROR("List entry not added to %s: %s", name.c_str(), entry.c_str());
    return false;
  }
  if (!Exists(*path)) return WriteListFile({*narrow}, name);
  // Only the new bytes are written: the entries already there stay exactly as they are.
  const int descriptor = ::open(path->c_str(), O_RDWR | O_APPEND | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (descriptor < 0) return false;
  struct stat info {};
  char last = '\n';
  bool written = ::fstat(descriptor, &info) == 0 && S_ISREG(info.st_mode) &&
                 (info.st_size == 0 || ::pread(descriptor, &last, 1, info.st_size - 1) == 1);
  if (written) {
    written = platform::WriteAll(descriptor, (last == '\n' ? std::string() : std::string(kLineEnd)) + *narrow) &&
              ::fsync(descriptor) == 0;
  }
  written = (::close(descriptor) == 0) && written;
  if (!written) KALIMO_LOG_DEBUG("failure to append to %s", name.c_str());
  return written;
}

}  // namespace kalimo
