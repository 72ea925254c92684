#include <gtest/gtest.h>

#include <cerrno>
#include <thread>
#include <vector>

#include "common/Messages.h"

namespace kalimo {
namespace {

class RecordedMessages {
 public:
  RecordedMessages(MessageAnswer answer = MessageAnswer::Ok) {
    previous_ = SetMessagePresenter([this, answer](const UserMessage& message) {
      shown.push_back(message);
      return answer;
    });
  }
  ~RecordedMessages() { SetMessagePresenter(previous_); }
  std::vector<UserMessage> shown;

 private:
  MessagePresenter previous_;
};

TEST(Messages, WarningHasCaptionIconAndOkOnly) {
  RecordedMessages messages;
  ShowWarning("摄像头打开失败");
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].caption, "Corvessa");
  EXPECT_EQ(messages.shown[0].text, "摄像头打开失败");
  EXPECT_EQ(messages.shown[0].icon, UserMessage::Icon::Warning);
  EXPECT_FALSE(messages.shown[0].offerCancel);
}

TEST(Messages, QuestionProceedsOnlyOnOk) {
  {
    RecordedMessages messages(MessageAnswer::Ok);
    EXPECT_TRUE(AskQuestion("是否确实要退出系统?"));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].caption, "询问");
    EXPECT_EQ(messages.shown[0].icon, UserMessage::Icon::Question);
    EXPECT_TRUE(messages.shown[0].offerCancel);
  }
  RecordedMessages messages(MessageAnswer::Cancel);
  EXPECT_FALSE(AskQuestion("是否确实要退出系统?"));
}

TEST(Messages, WithoutPresenterAQuestionIsNotAgreedTo) {
  EXPECT_FALSE(AskQuestion("是否确实要退出系统?"));
}

struct StatusCase {
  int status;
  const char* text;
};

TEST(Messages, StatusTexts) {
  const StatusCase cases[] = {
      {0, "Ok: Indicates that the method call was successful."},
      {6, "NotImplemented: Indicates that the method is not implemented."},
      {13, "UnknownImageFormat: Indicates that the specified image file format is not known."},
      {20, "PropertyNotSupported: Indicates that the specified property is not supported by the format of the image "
           "and, therefore, cannot be set."},
      {21, "Invalid status: Indicates an unknown status was returned."},
      {-1, "Invalid status: Indicates an unknown status was returned."},
  };
  for (const auto& entry : cases) EXPECT_EQ(GdiplusStatusText(entry.status), entry.text) << entry.status;
  errno = ENOSPC;
  EXPECT_EQ(GdiplusStatusText(7), "No space left on device");
}

TEST(Messages, ResultTextsAreTheSystemsOrTheDecoderHint) {
  EXPECT_EQ(SystemErrorText(ENOENT), "No such file or directory");
  EXPECT_EQ(FormatResultText(EACCES), "Permission denied");
  EXPECT_EQ(FormatResultText(static_cast<int>(0x80040265u)), kMissingDecoderHint);
  EXPECT_EQ(FormatResultText(99999), kMissingDecoderHint);
}

}  // namespace
}  // namespace kalimo
