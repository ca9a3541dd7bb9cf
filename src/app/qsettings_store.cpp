#include "app/qsettings_store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QString>
#include <QTemporaryDir>
#include <charconv>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/text.h"

namespace zep8 {
namespace {

constexpr std::string_view kIntTag = "int:";
constexpr std::string_view kStringTag = "str:";
// Keeps a key that has no values yet, as an empty registry key would be.
const QString kKeyMarker = QStringLiteral(".key");

// "SOFTWARE\ARVO\ZEP8" -> "software/arvo/zep8"; empty for a key that cannot exist.
QString GroupOf(std::string_view key) {
    std::string group;
    for (char c : FoldCase(key)) group += c == '\\' ? '/' : c;
    while (!group.empty() && group.front() == '/') group.erase(0, 1);
    while (!group.empty() && group.back() == '/') group.pop_back();
    if (group.find("//") != std::string::npos) return {};
    return QString::fromStdString(group);
}

QString PathOf(std::string_view key, std::string_view name) {
    const QString group = GroupOf(key);
    // A separator in a value name would make a key of it.
    if (group.isEmpty() || name.empty() || name.find_first_of("/\\") != std::string_view::npos) {
        return {};
    }
    return group + u'/' + QString::fromStdString(FoldCase(name));
}

// A key exists when anything lives under it, as a registry key that has subkeys.
bool HasChildren(QSettings& settings, const QString& group) {
    settings.beginGroup(group);
    const bool present = !settings.childKeys().isEmpty() || !settings.childGroups().isEmpty();
    settings.endGroup();
    return present;
}

// The file holds the operator password's hash and the port settings of this
// user: nobody else on the machine reads it.
constexpr mode_t kPrivateMode = S_IRUSR | S_IWUSR;

void KeepPrivate(const QString& path) {
    (void)::chmod(QFile::encodeName(path).constData(), kPrivateMode);
}

// A new file is made private before QSettings writes it: QSettings writes a
// temporary file and renames it, keeping the mode of the file it replaces.
void CreatePrivate(const QString& path) {
    if (QFileInfo::exists(path)) return;
    QDir().mkpath(QFileInfo(path).absolutePath());
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kPrivateMode);
    if (fd >= 0) ::close(fd);
}

}  // namespace

// QSettings' own user-scope INI file would be ZEP8.ini; the store is ZEP8.conf.
QSettingsStore::QSettingsStore() {
    Open(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
         QStringLiteral("/ARVO/ZEP8.conf"));
}

QSettingsStore::QSettingsStore(const std::string& iniFile) {
    Open(QString::fromStdString(iniFile));
}

QSettingsStore::~QSettingsStore() = default;

void QSettingsStore::Open(const QString& path) {
    path_ = path;
    // A file written by an earlier version was readable by every user.
    if (QFileInfo::exists(path)) KeepPrivate(path);
    settings_ = std::make_unique<QSettings>(path, QSettings::IniFormat);
    // QSettings would write its partial reading of a damaged file over it at
    // the first sync: the file stays untouched, the run goes on the defaults.
    if (settings_->status() == QSettings::NoError || !QFileInfo::exists(path)) return;
    heldDir_ = std::make_unique<QTemporaryDir>();
    if (!heldDir_->isValid()) {
        heldDir_.reset();
        return;
    }
    settings_ = std::make_unique<QSettings>(heldDir_->filePath(QStringLiteral("held.conf")),
                                            QSettings::IniFormat);
}

std::string QSettingsStore::fileName() const {
    return path_.toStdString();
}

std::string QSettingsStore::damageNotice() const {
    std::lock_guard lock(mutex_);
    if (!heldDir_) return {};
    return "Файл настроек " + path_.toStdString() +
           " испорчен или не читается. Программа работает с настройками по умолчанию; файл "
           "останется как есть, пока вы не измените какую-либо настройку (тогда он будет "
           "сохранён как " +
           path_.toStdString() + ".damaged).";
}

void QSettingsStore::startupWritten() {
    std::lock_guard lock(mutex_);
    startupWritten_ = true;
}

bool QSettingsStore::Sync() {
    const QString file = settings_->fileName();
    CreatePrivate(file);
    settings_->sync();
    KeepPrivate(file);
    return settings_->status() == QSettings::NoError;
}

bool QSettingsStore::ReleaseHeld() {
    Sync();
    const QString held = settings_->fileName();
    const QString aside = path_ + QStringLiteral(".damaged");
    // One copy of the damage is kept: the latest.
    if (QFileInfo(aside).isDir()) {
        QDir(aside).removeRecursively();
    } else {
        QFile::remove(aside);
    }
    if (!QDir().rename(path_, aside)) return false;
    KeepPrivate(aside);
    if (!QFile::copy(held, path_)) return false;
    KeepPrivate(path_);
    settings_ = std::make_unique<QSettings>(path_, QSettings::IniFormat);
    heldDir_.reset();
    return settings_->status() == QSettings::NoError;
}

bool QSettingsStore::hasKey(std::string_view key) const {
    const QString group = GroupOf(key);
    if (group.isEmpty()) return false;
    std::lock_guard lock(mutex_);
    return HasChildren(*settings_, group);
}

bool QSettingsStore::createKey(std::string_view key) {
    const QString group = GroupOf(key);
    if (group.isEmpty()) return false;
    std::lock_guard lock(mutex_);
    if (HasChildren(*settings_, group)) return true;
    settings_->setValue(group + u'/' + kKeyMarker, QString());
    return Sync();
}

std::optional<std::string> QSettingsStore::readRaw(std::string_view key,
                                                   std::string_view name) const {
    const QString path = PathOf(key, name);
    if (path.isEmpty()) return std::nullopt;
    std::lock_guard lock(mutex_);
    const QVariant value = settings_->value(path);
    // A value edited into a list or other shape by hand is not ours to read.
    if (!value.isValid() || value.typeId() != QMetaType::QString) return std::nullopt;
    return value.toString().toStdString();
}

bool QSettingsStore::writeRaw(std::string_view key, std::string_view name,
                              const std::string& text) {
    const QString path = PathOf(key, name);
    if (path.isEmpty() || !hasKey(key)) return false;
    std::lock_guard lock(mutex_);
    settings_->setValue(path, QString::fromStdString(text));
    settings_->remove(GroupOf(key) + u'/' + kKeyMarker);  // the value keeps the key now
    const bool written = Sync();
    if (heldDir_ && startupWritten_) return ReleaseHeld();
    return written;
}

std::optional<std::string> QSettingsStore::readString(std::string_view key,
                                                      std::string_view name) const {
    std::optional<std::string> text = readRaw(key, name);
    if (!text || text->starts_with(kIntTag)) return std::nullopt;
    if (text->starts_with(kStringTag)) text->erase(0, kStringTag.size());
    return text;
}

std::optional<std::int32_t> QSettingsStore::readInt(std::string_view key,
                                                    std::string_view name) const {
    const std::optional<std::string> text = readRaw(key, name);
    if (!text || !text->starts_with(kIntTag)) return std::nullopt;
    const char* first = text->data() + kIntTag.size();
    const char* last = text->data() + text->size();
    std::int32_t value = 0;
    const auto result = std::from_chars(first, last, value);
    if (result.ec != std::errc() || result.ptr != last || first == last) return std::nullopt;
    return value;
}

bool QSettingsStore::writeString(std::string_view key, std::string_view name,
                                 std::string_view value) {
    const bool tagged = value.starts_with(kIntTag) || value.starts_with(kStringTag);
    return writeRaw(key, name,
                    (tagged ? std::string(kStringTag) : std::string()) + std::string(value));
}

bool QSettingsStore::writeInt(std::string_view key, std::string_view name, std::int32_t value) {
    return writeRaw(key, name, std::string(kIntTag) + std::to_string(value));
}

}  // namespace zep8
