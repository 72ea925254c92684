#pragma once
// A program folder with its own config.ini and a storage root, both temporary, and the messages
// the code under test would show.
#include <mutex>
#include <string>
#include <vector>

#include "common/Messages.h"
#include "tests/support/TempDir.h"

namespace kalimo::test {

struct RecordingConfig {
  int autoCreatingFolder = 0;
  int movieResolution = 1;
  bool rootExists = true;
};

class RecordingSetup {
 public:
  explicit RecordingSetup(const RecordingConfig& config = {});
  ~RecordingSetup();

  std::string Root() const { return (home / "root").string(); }
  std::string StorageFolder() const { return Root() + "/Kalimo"; }
  std::string PhotoFolder() const { return StorageFolder() + "/照片"; }
  std::string MovieFolder() const { return StorageFolder() + "/录像"; }
  std::string ProgramFolder() const { return program.Str(); }

  TempDir home;
  TempDir program;
};

// Records every message instead of showing it, answering with `answer`.
class MessageLog {
 public:
  explicit MessageLog(MessageAnswer answer = MessageAnswer::Ok);
  ~MessageLog();
  std::vector<UserMessage> Messages() const;
  std::vector<std::string> Texts() const;

 private:
  mutable std::mutex lock_;
  std::vector<UserMessage> messages_;
  MessagePresenter previous_;
};

}  // namespace kalimo::test
