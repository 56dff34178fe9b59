#include "SettingsFileLines.h"

#include <QFile>
#include <QHash>
#include <QSettings>
#include <QTemporaryDir>
#include <algorithm>

namespace pellwick {
namespace {

// The lines of a text, each without its line end.
QByteArrayList LinesOf(const QByteArray& content) {
    QByteArrayList lines = content.split('\n');
    for (QByteArray& line : lines)
        if (line.endsWith('\r'))
            line.chop(1);
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

bool IsSectionHeader(const QByteArray& line) {
    const QByteArray trimmed = line.trimmed();
    return trimmed.startsWith('[') && trimmed.endsWith(']');
}

bool WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

// The keys QSettings reads from a file holding `content`. Each look gets a file of its
// own: QSettings keeps files it read, told apart by size and time only.
QStringList KeysIn(const QString& folder, int look, const QByteArray& content) {
    const QString path = folder + QStringLiteral("/line%1.conf").arg(look);
    if (!WriteBytes(path, content))
        return {};
    return QSettings(path, QSettings::IniFormat).allKeys();
}

} // namespace

std::optional<SettingsFileLine> FirstLineNotKept(const QByteArray& content,
                                                 const std::vector<StoreWrite>& values) {
    // The write is tried on a copy: what QSettings makes of the file is what it would write.
    const QTemporaryDir trialFolder;
    const QString trial = trialFolder.path() + QStringLiteral("/trial.conf");
    if (!trialFolder.isValid() || !WriteBytes(trial, content))
        return SettingsFileLine{};
    {
        QSettings store(trial, QSettings::IniFormat);
        for (const auto& [path, value] : values)
            store.setValue(path, value);
        store.sync();
    }
    QFile rewritten(trial);
    if (!rewritten.open(QIODevice::ReadOnly))
        return SettingsFileLine{};
    QHash<QByteArray, int> written;
    for (const QByteArray& line : LinesOf(rewritten.readAll()))
        ++written[line];

    const QByteArrayList lines = LinesOf(content);
    QByteArray section; // the header the line stands under
    for (int i = 0; i < lines.size(); ++i) {
        const QByteArray& line = lines[i];
        if (IsSectionHeader(line))
            section = line;
        if (line.trimmed().isEmpty())
            continue;
        if (int& copies = written[line]; copies > 0) {
            --copies;
            continue;
        }
        // A value being written replaces its own line(s).
        if (!IsSectionHeader(line)) {
            const QStringList keys = KeysIn(trialFolder.path(), i, section + '\n' + line + '\n');
            if (keys.size() == 1 && std::any_of(values.begin(), values.end(), [&](const auto& v) {
                    return v.first == keys.front();
                }))
                continue;
        }
        return SettingsFileLine{i + 1, QString::fromUtf8(line)};
    }
    return std::nullopt;
}

} // namespace pellwick
