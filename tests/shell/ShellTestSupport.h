#pragma once
// What the shell's window tests share: a private set of user folders and a program folder with
// its own config.ini, the messages the program would show, and what it prints on stderr.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "common/Messages.h"
#include "tests/support/SectionTestSupport.h"

namespace kalimo::test {

// XDG folders and HOME in a temporary folder, and a program folder whose config.ini holds
// `configText` (a storage root inside the temporary folder unless the text names one).
class ShellFolders {
 public:
  explicit ShellFolders(const std::string& configText = "") {
    std::filesystem::create_directories(Program());
    std::filesystem::create_directories(Storage());
    std::ofstream(Program() / "config.ini") << "[usingsetting]\nname=Kalimo摄像头\nresourcespath=" << Storage().string()
                                            << "\n"
                                            << configText;
    setenv("HOME", user_.Dir().Str().c_str(), 1);
    setenv("KALIMO_PROGRAM_DIR", Program().c_str(), 1);
  }
  ~ShellFolders() { unsetenv("KALIMO_PROGRAM_DIR"); }
  ShellFolders(const ShellFolders&) = delete;
  ShellFolders& operator=(const ShellFolders&) = delete;

  std::filesystem::path Dir() const { return user_.Dir().Path(); }
  std::filesystem::path Program() const { return Dir() / "program"; }
  std::filesystem::path Storage() const { return Dir() / "storage"; }
  std::filesystem::path Runtime() const { return Dir() / "runtime"; }

 private:
  UserFolders user_{false};
};

// Records every message instead of showing it; answers OK.
class MessageRecorder {
 public:
  MessageRecorder() {
    previous_ = SetMessagePresenter([this](const UserMessage& message) {
      messages.push_back(message);
      return MessageAnswer::Ok;
    });
  }
  ~MessageRecorder() { SetMessagePresenter(previous_); }
  MessageRecorder(const MessageRecorder&) = delete;
  MessageRecorder& operator=(const MessageRecorder&) = delete;

  std::vector<UserMessage> messages;

 private:
  MessagePresenter previous_;
};

// Sends this process's stderr into a file while it lives.
class StderrCapture {
 public:
  StderrCapture() {
    std::fflush(stderr);
    saved_ = dup(STDERR_FILENO);
    const int fd = open(file_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    dup2(fd, STDERR_FILENO);
    close(fd);
  }
  ~StderrCapture() { Restore(); }
  StderrCapture(const StderrCapture&) = delete;
  StderrCapture& operator=(const StderrCapture&) = delete;

  // Stops capturing and returns what was written.
  std::string Text() {
    Restore();
    std::ifstream in(file_, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

 private:
  void Restore() {
    if (saved_ < 0) return;
    std::fflush(stderr);
    dup2(saved_, STDERR_FILENO);
    close(saved_);
    saved_ = -1;
  }
  TempDir dir_;
  std::filesystem::path file_ = dir_ / "stderr.txt";
  int saved_ = -1;
};

}  // namespace kalimo::test
