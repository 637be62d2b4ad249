#include "iddb/DataFolder.h"

#include <QFile>
#include <QSettings>
#include <QStandardPaths>

#include "iddb/TextFile.h"

namespace quillet {
namespace {

std::string WithoutTrailingSeparator(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::string ToPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

}  // namespace

std::string UserDataFolder() {
  const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
  return WithoutTrailingSeparator(ToPath(base + QStringLiteral("/Qmr/NewQuillet")));
}

std::string DefaultDataFolder() {
  const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
  const QSettings settings(config + QStringLiteral("/Qmr/Zelvo.conf"), QSettings::IniFormat);
  const QString folder = settings.value(QStringLiteral("Directory/OnExecuting")).toString();
  if (!folder.isEmpty()) return WithoutTrailingSeparator(ToPath(folder));
  return UserDataFolder();
}

std::string DataFileIn(const std::string& folder) { return JoinPath(folder, "Zelvo.dat"); }

}  // namespace quillet
