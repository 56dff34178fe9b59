#pragma once
// Files that are the user's alone: the settings file (it holds the API key) and the
// debug log. New folders are 0700 and new files 0600, as the XDG base directory rules
// ask; a stricter mode the user chose is kept.

#include <QString>

namespace pellwick {

// Creates the folder and every missing parent with mode 0700 (existing folders are left
// as they are). True when the folder exists afterwards; otherwise *why, when given,
// names the folder that could not be made and the system's reason.
bool MakePrivateFolder(const QString& folder, QString* why = nullptr);

// Creates an empty file with mode 0600 (its folder made as above) unless it exists.
// True when the file exists afterwards; *created tells whether this call made it.
bool CreatePrivateFile(const QString& path, bool* created = nullptr);

// Takes the group's and others' bits off an existing file (the owner's stay as they
// are). True when the file is private afterwards.
bool NarrowToOwner(const QString& path);

} // namespace pellwick
