#pragma once

#include <string>

namespace PDFWriter {

class PDF;

// Writes a finished document's buffer to `path`. The file appears whole or not at all: the bytes go
// to a new temporary file in the same folder, which is flushed to disk and then renamed over `path`.
// Returns false (removing the temporary file and leaving any existing file at `path` untouched) when
// the folder does not exist, the file cannot be written completely (a full disk, a file-size limit),
// or the document failed. Any name that fits the file system's name limit can be saved. Makes
// SIGXFSZ harmless for the process (see vellumet::FailWritesOverTheFileSizeLimit).
bool SavePdf(const std::wstring& path, const PDF& document);

}  // namespace PDFWriter
