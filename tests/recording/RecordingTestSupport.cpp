#include "tests/recording/RecordingTestSupport.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "library/settings/SettingParams.h"

namespace kalimo::test {

RecordingSetup::RecordingSetup(const RecordingConfig& config) {
  setenv("HOME", home.Str().c_str(), 1);
  setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
  setenv("KALIMO_PROGRAM_DIR", program.Str().c_str(), 1);
  if (config.rootExists) std::filesystem::create_directory(Root());
  std::ofstream ini(program / "config.ini", std::ios::binary);
  ini << "[usingsetting]\n"
      << "resourcespath=" << Root() << "\n"
      << "autocreatingfolder=" << config.autoCreatingFolder << "\n"
      << "movieresolution=" << config.movieResolution << "\n";
  ini.close();
  DestroySettingParams();
  CreateSettingParams();
}

RecordingSetup::~RecordingSetup() {
  DestroySettingParams();
  unsetenv("KALIMO_PROGRAM_DIR");
}

MessageLog::MessageLog(MessageAnswer answer) {
  previous_ = SetMessagePresenter([this, answer](const UserMessage& message) {
    std::lock_guard guard(lock_);
    messages_.push_back(message);
    return answer;
  });
}

MessageLog::~MessageLog() { SetMessagePresenter(std::move(previous_)); }

std::vector<UserMessage> MessageLog::Messages() const {
  std::lock_guard guard(lock_);
  return messages_;
}

std::vector<std::string> MessageLog::Texts() const {
  std::vector<std::string> texts;
  for (const UserMessage& message : Messages()) texts.push_back(message.text);
  return texts;
}

}  // namespace kalimo::test
