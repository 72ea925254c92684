#include "tests/support/LogCapture.h"

#include <log4cplus/appender.h>
#include <log4cplus/logger.h>
#include <log4cplus/spi/loggingevent.h>

#include <algorithm>
#include <atomic>

#include "common/Logging.h"

namespace kalimo::test {

namespace {
class CapturingAppender : public log4cplus::Appender {
 public:
  CapturingAppender(std::shared_ptr<LogCapture::Shared> shared, const std::string& appenderName)
      : shared_(std::move(shared)) {
    setName(appenderName);
  }
  ~CapturingAppender() override { destructorImpl(); }
  void close() override {}

 protected:
  void append(const log4cplus::spi::InternalLoggingEvent& event) override {
    std::lock_guard guard(shared_->lock);
    shared_->records.push_back({event.getLogLevel(), event.getMessage(), event.getFile(), event.getLine()});
  }

 private:
  std::shared_ptr<LogCapture::Shared> shared_;
};
std::atomic<int> captureCounter{0};
}  // namespace

LogCapture::LogCapture()
    : shared_(std::make_shared<Shared>()), appenderName_("kalimo-test-capture-" + std::to_string(captureCounter++)) {
  kalimo::log::IsEnabled(kalimo::log::Level::Info);  // initializes log4cplus
  log4cplus::SharedAppenderPtr appender(new CapturingAppender(shared_, appenderName_));
  auto root = log4cplus::Logger::getRoot();
  root.setLogLevel(log4cplus::TRACE_LOG_LEVEL);
  root.addAppender(appender);
}

LogCapture::~LogCapture() {
  log4cplus::Logger::getRoot().removeAppender(appenderName_);
}

std::vector<LogRecord> LogCapture::Records() const {
  std::lock_guard guard(shared_->lock);
  return shared_->records;
}

int LogCapture::Count(const std::string& message) const {
  std::lock_guard guard(shared_->lock);
  return static_cast<int>(std::count_if(shared_->records.begin(), shared_->records.end(),
                                        [&](const LogRecord& record) { return record.message == message; }));
}

void LogCapture::Clear() {
  std::lock_guard guard(shared_->lock);
  shared_->records.clear();
}

}  // namespace kalimo::test
