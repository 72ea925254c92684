#pragma once
// Qt's own texts in Chinese: the standard buttons of message boxes and file dialogs ("确定",
// "取消", "打开") speak the program's language whatever the desktop's locale is.

namespace kalimo {

// Installs Qt's Chinese translation into the application; false when the translation file is not
// installed (Debian: qt6-translations-l10n), and the standard texts stay English.
bool InstallQtChineseTexts();
// Whether the last InstallQtChineseTexts found the translation.
bool QtChineseTextsInstalled();

}  // namespace kalimo
