#pragma once
// The job's private temporary folder: its name, its exclusive creation and its removal.

#include <ctime>
#include <string>
#include <string_view>

namespace vellumet {

// How every job's temporary folder name begins, after the temporary path.
inline constexpr char kTempFolderStem[] = "PPT";

// The user's temporary folder ending with "/": $TMPDIR when set and not empty, else /tmp.
std::wstring UserTempPath();

// "%sPPT%04d%02d%02d%02d%02d%02d" from `tempPath` (ending with "/") and the local time `time`.
std::wstring FormatTempFolderName(std::wstring_view tempPath, const std::tm& time);

// FormatTempFolderName(UserTempPath(), the local time now): the value front ends put into
// ConversionSettings::tempFolder. The name is only a prefix; see CreatePrivateFolder.
std::wstring MakeTempFolderName();

// Creates a new folder named `prefix` followed by a unique suffix, readable and writable by the
// user only (mode 0700), marks it as this process's (common/StaleFolders.h) and returns its path (no
// trailing separator). Never reuses an existing folder. First removes the job folders beside it
// whose runs were killed before they could clean up. Returns an empty text when the folder cannot
// be created.
std::wstring CreatePrivateFolder(std::wstring_view prefix);

// Removes `folder` and everything in it, without following symbolic links; ignores failures.
void RemoveFolderTree(std::wstring_view folder);

}  // namespace vellumet
