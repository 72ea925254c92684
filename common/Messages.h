#pragma once
// Texts for results and failures, and the one road by which a message reaches the user.
#include <functional>
#include <string>

namespace kalimo {

struct UserMessage {
  enum class Icon { Warning, Question, Information };
  std::string caption;  // UTF-8
  std::string text;     // UTF-8
  Icon icon = Icon::Warning;
  bool offerCancel = false;  // OK alone, or OK and Cancel
};

enum class MessageAnswer { Ok, Cancel };

// Shows a message and returns the user's answer. The window system installs a presenter that shows
// a message box (see MessageBoxPresenter); tests install one that records what would be shown.
// Without one, the message goes to the log and to standard error, and the answer is Cancel for a
// question (nobody agreed) and OK otherwise.
using MessagePresenter = std::function<MessageAnswer(const UserMessage&)>;

// Installs `presenter` and returns the one it replaces (empty for the built-in one).
MessagePresenter SetMessagePresenter(MessagePresenter presenter);
MessageAnswer PresentMessage(const UserMessage& message);

inline constexpr const char* kWarningCaption = "Corvessa";
inline constexpr const char* kQuestionCaption = "询问";

// A warning box without owner window: caption "Corvessa", warning icon, OK.
void ShowWarning(const std::string& text);
// A question with caption "询问", question icon, OK and Cancel; true only for OK.
bool AskQuestion(const std::string& text);

// The system's message text for an error code (errno on this platform).
std::string SystemErrorText(int code);

// The system's text for a result code, or, for a code the system has no text for, the hint that a
// video decoder is missing.
std::string FormatResultText(int code);
inline constexpr const char* kMissingDecoderHint =
    "如果是媒体文件，请点击上面的链接下载视频解码器，安装后视频解码器，再播放，注意：本软件不能播放视频网站的加密视频"
    "（加密视频只能用视频网站指定的播放器播放）";

// The text of an image-library status code; code 7 gives the text of the thread's last error (errno).
std::string GdiplusStatusText(int status);

}  // namespace kalimo
