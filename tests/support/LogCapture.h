#pragma once
// Records what the program logs through the root logger while the capture lives.
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace kalimo::test {

struct LogRecord {
  int level = 0;
  std::string message;
  std::string source;
  int line = 0;
};

class LogCapture {
 public:
  LogCapture();
  ~LogCapture();
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  std::vector<LogRecord> Records() const;
  // How many records carry exactly this message.
  int Count(const std::string& message) const;
  void Clear();

  struct Shared {
    mutable std::mutex lock;
    std::vector<LogRecord> records;
  };

 private:
  std::shared_ptr<Shared> shared_;
  std::string appenderName_;
};

}  // namespace kalimo::test
