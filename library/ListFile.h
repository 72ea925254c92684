#pragma once
// List files: text files of one entry per line in the user's list folder ("chapters.dat",
// "actionAndMovie.dat", "images.dat"), read and written whole. On disk they are GB18030 text
// (byte-identical to GBK for GBK characters), entries separated by CR LF, no line end after the
// last entry, no byte-order mark. A write goes to "tmp_" + name first and replaces the list in one
// rename, so a failed write leaves the previous list in place.
//
// The "narrow" operations (ReadListFile, WriteListFile) work on the file's GB18030 bytes; LoadList
// and SaveList work on UTF-8 text. Failures are reported by the result and by a debug log record.
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace kalimo {

class ListFile {
 public:
  // The longest entry the writer keeps, in bytes of its GB18030 form.
  static constexpr std::size_t kMaxEntryBytes = 259;
  // The shipped sample video; a line with exactly this text reads as its full path.
  static constexpr const char* kSampleVideoEntry = "video/示例影音文件(使用时可以删除).avi";
  static constexpr const char* kTemporaryPrefix = "tmp_";

  // The folder of the user's lists + "/" + name (platform/ProgramPaths.h: the program folder, or
  // for a packaged program the user's data folder); empty when the folder is unknown.
  static std::optional<std::string> GetListFilePath(const std::string& name);
  // The shipped sample video, which always lies in the program folder.
  static std::string GetSampleVideoPath();

  // Empties `lines`, then appends the file's entries in file order (GB18030 bytes). False when
  // the file cannot be opened; true for an empty file.
  static bool ReadListFile(const std::string& name, std::vector<std::string>& lines);

  // Replaces the file by `lines` (GB18030 bytes). True only if the new file is in place.
  static bool WriteListFile(const std::vector<std::string>& lines, const std::string& name);

  // Appends the file's entries as UTF-8 to `lines` (not emptied first); nothing on false. An entry
  // that is not GB18030 text (an invalid byte sequence, a NUL) is logged with its line number and
  // kept with its undecodable bytes escaped (platform/TextEncoding.h), so that SaveList writes it
  // back byte for byte.
  static bool LoadList(const std::string& name, std::vector<std::string>& lines);

  // Writes UTF-8 `lines`; entries longer than kMaxEntryBytes in GB18030 are left out, each with
  // an ERROR log record that names it.
  static bool SaveList(const std::vector<std::string>& lines, const std::string& name);

  // Adds `entry` as the new last line of the list (e.g. a fresh recording to "chapters.dat").
  // A missing list is created; to a list that exists only the new line's bytes are appended, so the
  // entries already there stay exactly as they are; a list that cannot be opened is left alone
  // (false), as is an entry that the list could not hold (empty, too long, with a line break).
  static bool AppendToList(const std::string& name, const std::string& entry);
};

}  // namespace kalimo
