#include "controls/GeneralRegistry.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStringList>

#include "common/Cp932.h"
#include "common/Error.h"

namespace {

QString FromAscii(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString ConfigHome() {
  const QString xdg = qEnvironmentVariable("XDG_CONFIG_HOME");
  // The base-directory rules ignore a relative value.
  if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg)) return xdg;
  return QDir::homePath() + QStringLiteral("/.config");
}

// "Software\Org\App" -> <config>/Org/App.conf. The leading "Software" names the hive's branch for
// programs and has no folder of its own.
QString FilePath(std::string_view key) {
  QStringList parts = FromAscii(key).split(QLatin1Char('\\'), Qt::SkipEmptyParts);
  if (!parts.isEmpty() && parts.front().compare(QStringLiteral("Software"), Qt::CaseInsensitive) == 0)
    parts.pop_front();
  if (parts.isEmpty()) parts << QStringLiteral("quillet");
  return ConfigHome() + QLatin1Char('/') + parts.join(QLatin1Char('/')) + QStringLiteral(".conf");
}

QString Group(std::string_view section) {
  QString group = FromAscii(section);
  group.replace(QLatin1Char('\\'), QLatin1Char('/'));
  return group;
}

// Whether the section exists in the file: the counterpart of opening the key without creating it.
bool SectionExists(QSettings& settings, const QString& group) {
  if (!QFileInfo::exists(settings.fileName())) return false;
  settings.beginGroup(group);
  const bool exists = !settings.allKeys().isEmpty();
  settings.endGroup();
  return exists;
}

bool ParseInt32(const QString& text, int& value) {
  bool ok = false;
  const QString trimmed = text.trimmed();
  if (trimmed.isEmpty()) return false;
  const qlonglong v = trimmed.toLongLong(&ok, 10);
  if (!ok || v < INT32_MIN || v > INT32_MAX) return false;
  value = static_cast<int>(v);
  return true;
}

void CheckWritten(QSettings& settings) {
  settings.sync();
  if (settings.status() != QSettings::NoError)
    throw Error(quillet::FromUtf8("設定を書き込めません: ") + settings.fileName().toStdString());
}

}  // namespace

int RegReadInteger(std::string_view key, std::string_view section, std::string_view name, int defaultValue) {
  QSettings settings(FilePath(key), QSettings::IniFormat);
  const QString group = Group(section);
  if (!SectionExists(settings, group)) return defaultValue;
  settings.beginGroup(group);
  const QVariant stored = settings.value(FromAscii(name));
  settings.endGroup();
  // An INI file keeps every value as text (a value just written in this process may still be held
  // as a number); a list (a value with commas) is never an integer.
  int value = 0;
  switch (stored.typeId()) {
    case QMetaType::Int:
      return stored.toInt();
    case QMetaType::QString:
      return ParseInt32(stored.toString(), value) ? value : defaultValue;
    default:
      return defaultValue;
  }
}

std::string RegReadString(std::string_view key, std::string_view section, std::string_view name,
                          const std::string& defaultValue) {
  QSettings settings(FilePath(key), QSettings::IniFormat);
  const QString group = Group(section);
  if (!SectionExists(settings, group)) return defaultValue;
  settings.beginGroup(group);
  const QVariant stored = settings.value(FromAscii(name));
  settings.endGroup();
  if (!stored.isValid()) return std::string();
  QString text;
  if (stored.typeId() == QMetaType::QString) {
    text = stored.toString();
  } else if (stored.typeId() == QMetaType::QStringList) {
    // A hand-written value with unquoted commas comes back as a list; it is still one text.
    text = stored.toStringList().join(QLatin1Char(','));
  } else {
    return defaultValue;
  }
  std::string sjis;
  if (!quillet::TryFromUtf8(text.toStdString(), sjis)) return defaultValue;
  return sjis;
}

void RegWriteInteger(std::string_view key, std::string_view section, std::string_view name, int value) {
  QSettings settings(FilePath(key), QSettings::IniFormat);
  settings.beginGroup(Group(section));
  settings.setValue(FromAscii(name), value);
  settings.endGroup();
  CheckWritten(settings);
}

void RegWriteString(std::string_view key, std::string_view section, std::string_view name,
                    const std::string& value) {
  QSettings settings(FilePath(key), QSettings::IniFormat);
  settings.beginGroup(Group(section));
  settings.setValue(FromAscii(name), QString::fromStdString(quillet::ToUtf8(value)));
  settings.endGroup();
  CheckWritten(settings);
}

namespace quillet {

std::string RegistryFileFor(std::string_view key) { return FilePath(key).toStdString(); }

}  // namespace quillet
