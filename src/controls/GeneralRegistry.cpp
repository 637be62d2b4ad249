#include "controls/GeneralRegistry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QSettings>
#include <QStringList>
#include <QTemporaryFile>

#include "common/Cp932.h"
#include "common/Error.h"
#include "iddb/TextFile.h"

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

[[noreturn]] void CannotWrite(const QString& file) {
  throw Error(("設定ファイル「" + file + "」を保存できませんでした。元のファイルはそのままです。").toStdString());
}

// A value as the INI file gives it back: text (a value with commas reads as a list).
QString AsText(const QVariant& value) {
  if (value.typeId() == QMetaType::QStringList) return value.toStringList().join(QLatin1Char(','));
  return value.toString();
}

using Values = QMap<QString, QVariant>;

// The file's text for these values. QSettings writes its file through a buffer whose last failed
// write it does not report (a full disk leaves a cut or empty file behind a clean status), so it
// writes a scratch file here, and the text is used only when reading it back gives every value.
QByteArray IniText(const QString& folder, const QString& file, const Values& values) {
  QTemporaryFile scratch(folder + QStringLiteral("/.settings-XXXXXX"));
  if (!scratch.open()) CannotWrite(file);
  const QString scratchPath = scratch.fileName();
  {
    QSettings out(scratchPath, QSettings::IniFormat);
    for (auto it = values.begin(); it != values.end(); ++it) out.setValue(it.key(), it.value());
    out.sync();
    if (out.status() != QSettings::NoError) CannotWrite(file);
  }
  QFile written(scratchPath);
  if (!written.open(QIODevice::ReadOnly)) CannotWrite(file);
  const QByteArray text = written.readAll();
  written.close();
  // Read back under a name no QSettings has seen (it caches what it read per file name).
  QTemporaryFile check(folder + QStringLiteral("/.settings-XXXXXX"));
  if (!check.open() || check.write(text) != text.size() || !check.flush()) CannotWrite(file);
  check.close();
  QSettings in(check.fileName(), QSettings::IniFormat);
  if (in.status() != QSettings::NoError || in.allKeys().size() != values.size()) CannotWrite(file);
  for (auto it = values.begin(); it != values.end(); ++it)
    if (AsText(in.value(it.key())) != AsText(it.value())) CannotWrite(file);
  return text;
}

// Sets one value: the file is read, the value put in, and the whole file written atomically
// through the checked writer.
void WriteValue(std::string_view key, std::string_view section, std::string_view name, const QVariant& value) {
  const QString file = FilePath(key);
  const QString folder = QFileInfo(file).absolutePath();
  if (!QDir().mkpath(folder)) CannotWrite(file);
  Values values;
  {
    QSettings current(file, QSettings::IniFormat);
    for (const QString& k : current.allKeys()) values.insert(k, current.value(k));
  }
  values.insert(Group(section) + QLatin1Char('/') + FromAscii(name), value);
  const QByteArray text = IniText(folder, file, values);
  quillet::WriteWholeFile(QFile::encodeName(file).toStdString(), std::string_view(text.constData(), text.size()));
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
  WriteValue(key, section, name, value);
}

void RegWriteString(std::string_view key, std::string_view section, std::string_view name,
                    const std::string& value) {
  WriteValue(key, section, name, QString::fromStdString(quillet::ToUtf8(value)));
}

namespace quillet {

std::string RegistryFileFor(std::string_view key) { return FilePath(key).toStdString(); }

}  // namespace quillet
