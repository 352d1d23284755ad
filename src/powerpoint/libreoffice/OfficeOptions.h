#pragma once
// How a private office is started, and where it lived: shared by the server, its session and
// process, and the tests that check an office left nothing behind.

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "common/CancelToken.h"

namespace powerpoint {

struct LibreOfficeOptions {
    // Polled by the watchdog; when set, the office is killed. May be null; must outlive the
    // conversation.
    const vellumet::CancelToken* cancel = nullptr;
    // The start of the office, and the opening of each presentation.
    std::chrono::milliseconds startBudget{60000};
    // Once a presentation is open, the longest the office may go without progress before it is
    // stopped, whatever the length of the deck. Progress is an answered call, a page of the PDF
    // export written or a picture made.
    std::chrono::milliseconds stallBudget{60000};
    // The office program; empty means the installed soffice.bin.
    std::string officeBinary;
    // Where the office's private folder is made; empty means $TMPDIR, or /tmp.
    std::filesystem::path tempRoot;
    // A server keeps its office for the next conversation after one has ended (closing that
    // conversation's documents), as long as the office is healthy; the server's end ends it.
    bool keepOfficeWarm = false;
    // How long the exporter (LibreOfficeExporter) keeps an idle office for its next export; zero
    // ends the office after each export.
    std::chrono::milliseconds warmOfficeIdleLimit{300000};
    // The export of the slides: one PDF export by the office whose pages are rendered on every
    // core (PdfRasteriser.h), falling back to the office's slide-by-slide picture export when that
    // fails; false goes slide by slide at once.
    bool exportThroughPdf = true;
    // Page renderer processes; 0 means one per core.
    int rasterWorkers = 0;
    // The conversation's export gives each slide's notes page instead of the slide (ExportFlags::
    // NotesPages); only the PDF export can. Set for each conversation by the server.
    bool notesPages = false;
    // The page renderer program; empty means the one of this build or installation.
    std::string rasteriserProgram;
    // Called at most once, from the conversation's thread, when the office failed on its own: it
    // crashed or quit, or it could not be reached while starting, rather than being ended, timed
    // out or cancelled by us. With its exit status (128 + the signal when killed; -1 while it still
    // runs). May be empty.
    std::function<void(int status)> onUnexpectedEnd;
    // Called at most once a conversation, from its thread, when the export through the office's PDF
    // (the office writing it, or its pages being rendered) made no progress for stallBudget and the
    // watchdog stopped the office: the deck may still go slide by slide in a fresh office. May be
    // empty.
    std::function<void()> onPdfExportStall;
};

// Where one office lived, for checks that it left nothing behind.
struct OfficeFootprint {
    pid_t pid = -1;
    std::filesystem::path privateFolder;
    std::vector<std::filesystem::path> pipeSockets;
    // Which confinement layers held for the office: a network namespace of its own, TCP refused and
    // writes confined to its folders (both by Landlock).
    bool ownNetwork = false;
    bool tcpRefused = false;
    bool writesConfined = false;
};

}  // namespace powerpoint
