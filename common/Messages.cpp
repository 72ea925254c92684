#include "common/Messages.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "common/Logging.h"

namespace kalimo {

namespace {

std::mutex presenterLock;
MessagePresenter& InstalledPresenter() {
  static MessagePresenter presenter;
  return presenter;
}

MessageAnswer PresentWithoutWindows(const UserMessage& message) {
  KALIMO_LOG_ERROR("%s: %s", message.caption.c_str(), message.text.c_str());
  std::fprintf(stderr, "%s: %s\n", message.caption.c_str(), message.text.c_str());
  return message.offerCancel ? MessageAnswer::Cancel : MessageAnswer::Ok;
}

struct StatusText {
  int code;
  const char* text;
};

constexpr StatusText kStatusTexts[] = {
    {0, "Ok: Indicates that the method call was successful."},
    {1, "GenericError: Indicates that there was an error on the method call, which is identified as something other "
        "than those defined by the other elements of this enumeration."},
    {2, "InvalidParameter: Indicates that one of the arguments passed to the method was not valid."},
    {3, "OutOfMemory: Indicates that the operating system is out of memory and could not allocate memory to process "
        "the method call."},
    {4, "ObjectBusy: Indicates that one of the arguments specified in the API call is already in use in another "
        "thread."},
    {5, "InsufficientBuffer: Indicates that a buffer specified as an argument in the API call is not large enough to "
        "hold the data to be received."},
    {6, "NotImplemented: Indicates that the method is not implemented."},
    {8, "WrongState: Indicates that the object is in an invalid state to satisfy the API call. For example, calling "
        "Pen::GetColor from a pen that is not a single, solid color results in a WrongState status."},
    {9, "Aborted: Indicates that the method was aborted."},
    {10, "FileNotFound: Indicates that the specified image file or metafile cannot be found."},
    {11, "ValueOverflow: Indicates that the method performed an arithmetic operation that produced a numeric "
         "overflow."},
    {12, "AccessDenied: Indicates that a write operation is not allowed on the specified file."},
    {13, "UnknownImageFormat: Indicates that the specified image file format is not known."},
    {14, "FontFamilyNotFound: Indicates that the specified font family cannot be found. Either the font family name "
         "is incorrect or the font family is not installed."},
    {15, "FontStyleNotFound: Indicates that the specified style is not available for the specified font family."},
    {16, "NotTrueTypeFont: Indicates that the font retrieved from an HDC or LOGFONT is not a TrueType font and cannot "
         "be used with GDI+."},
    {17, "UnsupportedGdiplusVersion: Indicates that the version of GDI+ that is installed on the system is "
         "incompatible with the version with which the application was compiled."},
    {18, "GdiplusNotInitialized: Indicates that the GDI+ API is not in an initialized state. To function, all GDI+ "
         "objects require that GDI+ be in an initialized state. Initialize GDI+ by calling GdiplusStartup."},
    {19, "PropertyNotFound: Indicates that the specified property does not exist in the image."},
    {20, "PropertyNotSupported: Indicates that the specified property is not supported by the format of the image "
         "and, therefore, cannot be set."},
};
constexpr int kWin32ErrorStatus = 7;
constexpr const char* kUnknownStatusText = "Invalid status: Indicates an unknown status was returned.";

}  // namespace

MessagePresenter SetMessagePresenter(MessagePresenter presenter) {
  std::lock_guard guard(presenterLock);
  MessagePresenter previous = std::move(InstalledPresenter());
  InstalledPresenter() = std::move(presenter);
  return previous;
}

MessageAnswer PresentMessage(const UserMessage& message) {
  MessagePresenter presenter;
  {
    std::lock_guard guard(presenterLock);
    presenter = InstalledPresenter();
  }
  return presenter ? presenter(message) : PresentWithoutWindows(message);
}

void ShowWarning(const std::string& text) {
  PresentMessage({kWarningCaption, text, UserMessage::Icon::Warning, false});
}

bool AskQuestion(const std::string& text) {
  return PresentMessage({kQuestionCaption, text, UserMessage::Icon::Question, true}) == MessageAnswer::Ok;
}

std::string SystemErrorText(int code) {
  const char* text = strerrordesc_np(code);
  return text ? std::string(text) : "Unknown error " + std::to_string(code);
}

std::string FormatResultText(int code) {
  // Only codes the system knows get its text; everything else (media results above all) gets the hint.
  const char* text = code >= 0 ? strerrordesc_np(code) : nullptr;
  return log::Format("%s", text ? text : kMissingDecoderHint);
}

std::string GdiplusStatusText(int status) {
  if (status == kWin32ErrorStatus) return SystemErrorText(errno);
  for (const auto& entry : kStatusTexts) {
    if (entry.code == status) return entry.text;
  }
  return kUnknownStatusText;
}

}  // namespace kalimo
