#pragma once
// The user's documents folder, the place the default output folder lives in.

#include <sys/types.h>

#include <string>

namespace settings {

// The home folder of a user: homeVariable (the value of $HOME, null when unset) when it is not
// empty, else the home of account uid in the password database; empty when neither names one.
std::string HomeFolder(const char* homeVariable, uid_t uid);

// The desktop's documents folder (XDG_DOCUMENTS_DIR as Qt reads it) when it names an existing
// folder; otherwise the home folder. Without $HOME only the account's home folder is considered, and
// with no home folder at all the result is empty. No trailing separator except for the root folder.
std::wstring DocumentsFolder();

// The folder that receives the PDF files unless the user chose another: documents followed by
// "/eBooks". An empty documents folder gives an empty text: there is no default then, and Convert
// asks for a folder.
std::wstring DefaultOutputFolder(const std::wstring& documents);

}  // namespace settings
