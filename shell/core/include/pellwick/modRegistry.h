#pragma once
// The settings store. Hive "HKCU" with the key "Software\Varrow\Pellwick" (or one of
// its subkeys) is the user's QSettings("Varrow", "Pellwick") store: on Windows exactly
// that registry key, on Linux ~/.config/Varrow/Pellwick.conf. Values are kept as text.
// Other hives, other keys and the INI-file form are not provided (no caller uses them):
// an unknown hive gives status 99, another key of HKCU reads as missing and refuses
// writes with status 5.
//
// Reads and writes never report errors; they return a status and leave the output
// with the default.

#include <QString>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace pellwick {

// The key that holds every setting of the program.
inline const QString SettingsKey = QStringLiteral("Software\\Varrow\\Pellwick");

namespace regstatus {
inline constexpr std::int32_t Success = 0;
inline constexpr std::int32_t FileNotFound = 2; // key or value missing
inline constexpr std::int32_t AccessDenied = 5; // store not writable
inline constexpr std::int32_t InvalidData = 13; // store unreadable (corrupt file)
inline constexpr std::int32_t UnknownHive = 99;
} // namespace regstatus

// Root of a hive name (case-insensitive): 1 for "HKCU", 0 for every other name.
int GetHiveHandle(const QString& hiveName);

// Reads one value. `typeCode` "S" text, "B" Boolean ("1"/"0"/"-1" or "True"/"False"),
// "D" 32-bit number; any other code reads nothing. `value` first receives
// `defaultValue`; it is replaced only by a successful read that converts to its type.
// Returns 0, the store's error (2 missing, 13 unreadable) or 99 for an unknown hive.
std::int32_t ReadRegistryValue(const QString& hive, const QString& key, const QString& valueName,
                               const QString& typeCode, const QString& defaultValue,
                               QString& value);
std::int32_t ReadRegistryValue(const QString& hive, const QString& key, const QString& valueName,
                               const QString& typeCode, std::int32_t defaultValue,
                               std::int32_t& value);
std::int32_t ReadRegistryValue(const QString& hive, const QString& key, const QString& valueName,
                               const QString& typeCode, std::int16_t defaultValue,
                               std::int16_t& value);
std::int32_t ReadRegistryValue(const QString& hive, const QString& key, const QString& valueName,
                               const QString& typeCode, bool defaultValue, bool& value);

// Writes one value as text ("S" as given, "B" as "1"/"0", "D" as decimal text; other
// codes write nothing). The value is on disk, with every other line of the file as it
// was, when this returns 0; otherwise the file's bytes are unchanged: 5 when the store
// cannot be written, 13 when writing would lose or change another line of the file
// (one the store cannot read: a line without "=", a comment, a byte-order mark, text
// that is not UTF-8; or one it reads but writes back otherwise: "a;b", "x\y", "a,b",
// blanks around "=", a key given twice), 99 for an unknown hive. The file and any
// folder made for it are private to the user (0600, 0700); a stricter mode the user set
// stays.
std::int32_t WriteRegistryValue(const QString& hive, const QString& key, const QString& valueName,
                                const QString& typeCode, const QString& value);
// Writes several values (name, text) under `key` as text ("S") in one write of the store:
// every one of them reaches the disk, or none does (the statuses as for one value).
std::int32_t WriteRegistryValues(const QString& hive, const QString& key,
                                 const std::vector<std::pair<QString, QString>>& values);

// Why the last write that returned 5 or 13 was refused, in words for the user: the
// settings file and, when writing would lose or change one of its lines, that line's
// number and text. Empty before the first refusal.
QString LastSettingsWriteRefusal();

// Test seam: keep the store in this INI file instead of the user's store (empty path
// restores the user's store).
void SetSettingsFileOverride(const QString& iniFilePath);
QString SettingsFileOverride();

// Converts stored text to a number the way the classic runtime's CLng/CInt do for the
// forms we store: blanks around, optional sign, decimal digits, or a number with a
// fraction (rounded half to even). Empty when not a number or out of the type's range.
std::optional<std::int32_t> TextToInt32(const QString& text);
std::optional<std::int16_t> TextToInt16(const QString& text);

} // namespace pellwick
