#include "pellwick/modRegistry.h"

#include "PrivateFiles.h"
#include "SettingsFileLines.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <sys/stat.h>
#include <vector>

namespace pellwick {
namespace {

QString& OverridePath() {
    static QString path;
    return path;
}

std::unique_ptr<QSettings> OpenStore() {
    if (!OverridePath().isEmpty())
        return std::make_unique<QSettings>(OverridePath(), QSettings::IniFormat);
    return std::make_unique<QSettings>(QStringLiteral("Varrow"), QStringLiteral("Pellwick"));
}

// The store's path for a value under `key`, or nothing when the key lies outside the
// program's settings key. Subkeys become groups; the comparison ignores case and
// accepts either separator.
std::optional<QString> StorePath(const QString& key, const QString& valueName) {
    QString normalized = key;
    normalized.replace(QLatin1Char('/'), QLatin1Char('\\'));
    while (normalized.startsWith(QLatin1Char('\\')))
        normalized.remove(0, 1);
    while (normalized.endsWith(QLatin1Char('\\')))
        normalized.chop(1);
    if (normalized.compare(SettingsKey, Qt::CaseInsensitive) == 0)
        return valueName;
    const QString prefix = SettingsKey + QLatin1Char('\\');
    if (!normalized.startsWith(prefix, Qt::CaseInsensitive))
        return std::nullopt;
    QString group = normalized.mid(prefix.size());
    group.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return group + QLatin1Char('/') + valueName;
}

std::int32_t StatusOf(const QSettings& store) {
    switch (store.status()) {
    case QSettings::NoError:
        return regstatus::Success;
    case QSettings::AccessError:
        return regstatus::AccessDenied;
    case QSettings::FormatError:
        return regstatus::InvalidData;
    }
    return regstatus::InvalidData;
}

// Reads the raw text of a value; the status tells whether there is one.
std::int32_t ReadText(const QString& hive, const QString& key, const QString& valueName,
                      QString& text) {
    if (GetHiveHandle(hive) == 0)
        return regstatus::UnknownHive;
    const std::optional<QString> path = StorePath(key, valueName);
    if (!path)
        return regstatus::FileNotFound;
    const std::unique_ptr<QSettings> store = OpenStore();
    if (store->status() != QSettings::NoError)
        return StatusOf(*store);
    const QVariant stored = store->value(*path);
    if (!stored.isValid())
        return regstatus::FileNotFound;
    // Text holding ", " written by hand may come back from an INI file as a list.
    if (stored.typeId() == QMetaType::QStringList)
        text = stored.toStringList().join(QStringLiteral(", "));
    else
        text = stored.toString();
    return regstatus::Success;
}

QString& LastRefusal() {
    static QString why;
    return why;
}

// Returns `status` after keeping, for LastSettingsWriteRefusal, why it refused a write.
std::int32_t Refused(std::int32_t status, const QString& file,
                     const std::optional<SettingsFileLine>& line = std::nullopt) {
    const QString name = QDir::toNativeSeparators(file);
    if (line && line->number > 0)
        LastRefusal() = QStringLiteral("Nothing was written to the settings file %1: writing "
                                       "would lose or change its line %2:\r\n%3")
                            .arg(name)
                            .arg(line->number)
                            .arg(line->text);
    else if (status == regstatus::InvalidData)
        LastRefusal() = QStringLiteral("Nothing was written to the settings file %1: it holds "
                                       "text that could not be kept.")
                            .arg(name);
    else
        LastRefusal() = QStringLiteral("The settings file %1 cannot be written.").arg(name);
    return status;
}

// Makes the store's file ready for writing `values`: an existing one must come through
// the write with every other line as it is, and is made private to the user; a missing
// one is created private, so the API key never lies in a file others can read. 0, or
// the status the write is refused with (its reason kept).
std::int32_t PrepareStoreFile(const QString& file, const std::vector<StoreWrite>& values,
                              bool& created) {
    created = false;
    if (!QDir::isAbsolutePath(file))
        return regstatus::Success; // not a file (the Windows registry)
    QFile existing(file);
    if (existing.exists()) {
        if (!existing.open(QIODevice::ReadOnly))
            return Refused(regstatus::AccessDenied, file);
        if (const auto lost = FirstLineNotKept(existing.readAll(), values))
            return Refused(regstatus::InvalidData, file, lost);
        return NarrowToOwner(file) ? regstatus::Success : Refused(regstatus::AccessDenied, file);
    }
    return CreatePrivateFile(file, &created) ? regstatus::Success
                                             : Refused(regstatus::AccessDenied, file);
}

// The file's permission bits, or -1 when it has none (the registry, a missing file).
int FileMode(const QString& file) {
    struct stat info {};
    return QDir::isAbsolutePath(file) && ::stat(QFile::encodeName(file).constData(), &info) == 0
               ? int(info.st_mode & 07777)
               : -1;
}

std::optional<bool> TextToBool(const QString& text) {
    const QString t = text.trimmed();
    if (t.compare(QStringLiteral("true"), Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(QStringLiteral("false"), Qt::CaseInsensitive) == 0)
        return false;
    if (const auto n = TextToInt32(t))
        return *n != 0;
    return std::nullopt;
}

template <class T, class Convert>
std::int32_t ReadConverted(const QString& hive, const QString& key, const QString& valueName,
                           const QString& typeCode, T defaultValue, T& value, Convert convert,
                           const QString& ownCode) {
    value = defaultValue;
    QString text;
    const std::int32_t status = ReadText(hive, key, valueName, text);
    if (status != regstatus::Success)
        return status;
    // "S" reads the text and converts it into the caller's variable; the numeric and
    // Boolean codes read the value as stored text too (values are always text here).
    if (typeCode.compare(QStringLiteral("S"), Qt::CaseInsensitive) != 0 &&
        typeCode.compare(ownCode, Qt::CaseInsensitive) != 0)
        return status;
    if (const auto converted = convert(text))
        value = *converted;
    return status;
}

} // namespace

int GetHiveHandle(const QString& hiveName) {
    return hiveName.trimmed().compare(QStringLiteral("HKCU"), Qt::CaseInsensitive) == 0 ? 1 : 0;
}

std::optional<std::int32_t> TextToInt32(const QString& text) {
    const QString t = text.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    bool ok = false;
    const qlonglong whole = t.toLongLong(&ok, 10);
    if (ok) {
        if (whole < std::numeric_limits<std::int32_t>::min() ||
            whole > std::numeric_limits<std::int32_t>::max())
            return std::nullopt;
        return static_cast<std::int32_t>(whole);
    }
    const double number = t.toDouble(&ok);
    if (!ok || !std::isfinite(number))
        return std::nullopt;
    const double rounded = std::nearbyint(number); // ties to even, as the classic CLng
    if (rounded < std::numeric_limits<std::int32_t>::min() ||
        rounded > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(rounded);
}

std::optional<std::int16_t> TextToInt16(const QString& text) {
    const auto n = TextToInt32(text);
    if (!n || *n < std::numeric_limits<std::int16_t>::min() ||
        *n > std::numeric_limits<std::int16_t>::max())
        return std::nullopt;
    return static_cast<std::int16_t>(*n);
}

std::int32_t ReadRegistryValue(const QString& hive, const QString& key, const QString& valueName,
                               const QString& typeCode, const QString& defaultValue,
                               QString& value) {
    value = defaultValue;
    QString text;
    const std::int32_t status = ReadText(hive, key, valueName, text);
    if (status == regstatus::Success &&
        (typeCode.compare(QStringLiteral("S"), Qt::CaseInsensitive) == 0 ||
         typeCode.compare(QStringLiteral("D"), Qt::CaseInsensitive) == 0 ||
         typeCode.compare(QStringLiteral("B"), Qt::CaseInsensitive) == 0))
        value = text;
    return status;
}

std::int32_t ReadRegistryValue(const QString& hive, const QString& key, const QString& valueName,
                               const QString& typeCode, std::int32_t defaultValue,
                               std::int32_t& value) {
    return ReadConverted(hive, key, valueName, typeCode, defaultValue, value, TextToInt32,
                         QStringLiteral("D"));
}

std::int32_t ReadRegistryValue(const QString& hive, const QString& key, const QString& valueName,
                               const QString& typeCode, std::int16_t defaultValue,
                               std::int16_t& value) {
    return ReadConverted(hive, key, valueName, typeCode, defaultValue, value, TextToInt16,
                         QStringLiteral("D"));
}

std::int32_t ReadRegistryValue(const QString& hive, const QString& key, const QString& valueName,
                               const QString& typeCode, bool defaultValue, bool& value) {
    return ReadConverted(hive, key, valueName, typeCode, defaultValue, value, TextToBool,
                         QStringLiteral("B"));
}

namespace {

// The text a value of `typeCode` is stored as; nothing when it does not convert (an
// unknown code gives the value unchanged, and is not written).
std::optional<QString> StoredText(const QString& typeCode, const QString& value) {
    if (typeCode.compare(QStringLiteral("S"), Qt::CaseInsensitive) == 0)
        return value;
    if (typeCode.compare(QStringLiteral("D"), Qt::CaseInsensitive) == 0) {
        const auto n = TextToInt32(value);
        return n ? std::optional(QString::number(*n)) : std::nullopt;
    }
    if (typeCode.compare(QStringLiteral("B"), Qt::CaseInsensitive) == 0) {
        const auto b = TextToBool(value);
        return b ? std::optional(*b ? QStringLiteral("1") : QStringLiteral("0")) : std::nullopt;
    }
    return value;
}

bool KnownTypeCode(const QString& typeCode) {
    for (const char* code : {"S", "D", "B"})
        if (typeCode.compare(QLatin1String(code), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

// Writes every value in one write of the store: all reach the disk, or none does.
std::int32_t WriteStore(const std::vector<StoreWrite>& values) {
    const std::unique_ptr<QSettings> store = OpenStore();
    // QSettings rewrites the whole file and drops what it cannot read, even while it
    // reports the error: refuse before it gets the chance.
    bool created = false;
    if (const std::int32_t status = PrepareStoreFile(store->fileName(), values, created))
        return status;
    store->allKeys(); // parses every section, so a format error shows now
    if (store->status() != QSettings::NoError) {
        if (created)
            QFile::remove(store->fileName());
        return Refused(StatusOf(*store), store->fileName());
    }
    const int mode = FileMode(store->fileName());
    std::vector<QVariant> previous;
    for (const auto& [path, text] : values) {
        previous.push_back(store->value(path));
        store->setValue(path, text);
    }
    store->sync(); // written through a temporary file and renamed: all or nothing
    const std::int32_t status = StatusOf(*store);
    // The new file copies the mode as Qt sees it, which gives the owner the write
    // permission of whoever may write (root): put the user's mode back as it was.
    if (mode >= 0 && FileMode(store->fileName()) != mode)
        ::chmod(QFile::encodeName(store->fileName()).constData(), mode_t(mode));
    if (status != regstatus::Success) {
        Refused(status, store->fileName());
        if (created)
            QFile::remove(store->fileName());
        // The changes stay pending in QSettings' in-process cache; put the old values
        // back so later reads in this run do not see values that never reached disk.
        for (std::size_t i = values.size(); i-- > 0;) {
            if (previous[i].isValid())
                store->setValue(values[i].first, previous[i]);
            else
                store->remove(values[i].first);
        }
    }
    return status;
}

} // namespace

std::int32_t WriteRegistryValue(const QString& hive, const QString& key, const QString& valueName,
                                const QString& typeCode, const QString& value) {
    if (GetHiveHandle(hive) == 0)
        return regstatus::UnknownHive;
    const std::optional<QString> path = StorePath(key, valueName);
    if (!path)
        return regstatus::AccessDenied;
    const std::optional<QString> text = StoredText(typeCode, value);
    if (!text)
        return regstatus::InvalidData;
    if (!KnownTypeCode(typeCode))
        return regstatus::Success;
    return WriteStore({{*path, *text}});
}

std::int32_t WriteRegistryValues(const QString& hive, const QString& key,
                                 const std::vector<std::pair<QString, QString>>& values) {
    if (GetHiveHandle(hive) == 0)
        return regstatus::UnknownHive;
    std::vector<StoreWrite> writes;
    for (const auto& [valueName, text] : values) {
        const std::optional<QString> path = StorePath(key, valueName);
        if (!path)
            return regstatus::AccessDenied;
        writes.emplace_back(*path, text);
    }
    return writes.empty() ? regstatus::Success : WriteStore(writes);
}

QString LastSettingsWriteRefusal() {
    return LastRefusal();
}

void SetSettingsFileOverride(const QString& iniFilePath) {
    OverridePath() = iniFilePath;
}

QString SettingsFileOverride() {
    return OverridePath();
}

} // namespace pellwick
