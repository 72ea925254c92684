#include "shell/sidewindows/ProgramIcon.h"

#include <QFileInfo>

#include "library/settings/SettingParams.h"

namespace kalimo {

QIcon ProgramIcon() {
  const QString path = QString::fromStdString(GetProgramFilePath("kalimo.png"));
  return QFileInfo::exists(path) ? QIcon(path) : QIcon();
}

}  // namespace kalimo
