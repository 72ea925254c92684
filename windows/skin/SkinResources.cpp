#include "windows/skin/SkinResources.h"

#include <QDir>
#include <QFileInfo>

#include "platform/ProgramPaths.h"

namespace kalimo::skin {
namespace {

QString ProgramFolder() { return QString::fromStdString(platform::ProgramDirectory()); }

// The entry of `folder` called `name`, exactly or else ignoring case; empty when there is none.
QString FindEntry(const QDir& folder, const QString& name) {
  if (QFileInfo::exists(folder.filePath(name))) return folder.filePath(name);
  const QStringList entries = folder.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
  for (const QString& entry : entries) {
    if (entry.compare(name, Qt::CaseInsensitive) == 0) return folder.filePath(entry);
  }
  return {};
}

}  // namespace

QString FindProgramFile(const QString& relativePath) {
  QString path = ProgramFolder();
  // Both separators are accepted: callers keep the names the program has always used.
  const QStringList parts = QString(relativePath).replace('\\', '/').split('/', Qt::SkipEmptyParts);
  if (parts.isEmpty()) return {};
  for (const QString& part : parts) {
    if (part == "..") return {};  // pictures live below the program folder only
    path = FindEntry(QDir(path), part);
    if (path.isEmpty()) return {};
  }
  return QFileInfo(path).isFile() ? path : QString();
}

QString FindProgramPicture(const QString& pictureName) {
  return FindProgramFile(QStringLiteral("Image/") + pictureName);
}

QPixmap LoadSkinBitmap(int number) {
  const QString path = FindProgramFile(QStringLiteral("Bitmap/%1.png").arg(number));
  return path.isEmpty() ? QPixmap() : QPixmap(path);
}

}  // namespace kalimo::skin
