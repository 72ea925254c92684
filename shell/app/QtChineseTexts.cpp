#include "shell/app/QtChineseTexts.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace kalimo {

namespace {
bool installed = false;
}  // namespace

bool InstallQtChineseTexts() {
  // Owned by the application, so that it lives as long as the texts are used.
  auto* translator = new QTranslator(QCoreApplication::instance());
  installed = translator->load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
              QCoreApplication::installTranslator(translator);
  if (!installed) delete translator;
  return installed;
}

bool QtChineseTextsInstalled() { return installed; }

}  // namespace kalimo
