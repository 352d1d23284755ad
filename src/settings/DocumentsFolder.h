#pragma once
// The user's documents folder, the place the default output folder lives in.

#include <string>

namespace settings {

// The desktop's documents folder (XDG_DOCUMENTS_DIR as Qt reads it) when it names an existing
// folder; otherwise the home folder ("/" when there is none). No trailing separator except for the
// root folder itself.
std::wstring DocumentsFolder();

// The folder that receives the PDF files unless the user chose another: documents followed by
// "/eBooks". An empty documents folder gives "/eBooks".
std::wstring DefaultOutputFolder(const std::wstring& documents);

}  // namespace settings
