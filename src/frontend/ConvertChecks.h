#pragma once
// The checks Convert runs before a job starts, shared by the dialog and the command line.

#include <string>

namespace vellumet {

inline constexpr wchar_t kNoSourceMessage[] = L"Please specify the source file";
inline constexpr wchar_t kNoOutputMessage[] = L"Please specify output directory";
inline constexpr wchar_t kCannotCreateOutputMessage[] = L"Can not create output directory";

// Appends "/" when `folder` ends with neither "\" nor "/".
std::wstring WithTrailingSeparator(std::wstring folder);

// Creates `folder` one level (its parent must exist). False only when the parent is missing;
// an existing folder, or any other failure, returns true (the job reports an unusable folder later).
bool CreateOutputFolder(const std::wstring& folder);

// Why `folder` (an existing path, ending with "/") cannot receive a PDF: it is not a folder, or
// this user may not create files in it. Empty when it can. The command line checks this before
// any conversion; the dialog leaves it to the save.
std::wstring OutputFolderProblem(const std::wstring& folder);

// Convert's checks in order: empty source, empty output folder, separator appended to
// `outputFolder`, output folder created. Returns the message to show, or an empty text to go on.
std::wstring CheckConvertInputs(const std::wstring& sourceFile, std::wstring& outputFolder);

}  // namespace vellumet
