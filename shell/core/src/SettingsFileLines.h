#pragma once
// Whether a write through QSettings keeps the other lines of the settings file. QSettings
// rewrites the whole file from what it read, key by key: a comment, a line it cannot
// read, "a;b" (read as "a"), "x\y" (read as "x"), a second line for the same key, "a,b"
// (written back as "a, b") or blanks around "=" would be lost or changed on the way.

#include <QByteArray>
#include <QString>
#include <optional>
#include <utility>
#include <vector>

namespace pellwick {

// A line of the settings file, numbered from 1 (0: the file as a whole).
struct SettingsFileLine {
    int number = 0;
    QString text;
};

// A value to write: its store path and text.
using StoreWrite = std::pair<QString, QString>;

// The first line of `content` that writing `values` (at their store paths) would lose or
// change, other than the lines of those values themselves. Nothing when every other line
// comes through; blank lines, the order of lines and the line-end style do not count.
std::optional<SettingsFileLine> FirstLineNotKept(const QByteArray& content,
                                                 const std::vector<StoreWrite>& values);

} // namespace pellwick
