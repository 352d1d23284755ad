#pragma once
// Process-wide settings that every Vellumet program makes first thing in main, before any thread
// starts and before anything is written.

namespace vellumet {

// Makes a write past the file-size limit (ulimit -f) fail with EFBIG, so that the writer's own
// clean-up runs, instead of ending the process with SIGXFSZ. SIGXFSZ gets a handler that does
// nothing rather than SIG_IGN, so programs started from here get the default back. A handler that
// someone else installed, or an ignored signal, is left alone. Idempotent; any thread.
void FailWritesOverTheFileSizeLimit() noexcept;

// Lowers the calling thread's scheduling priority by 10 steps (nice), for work that runs beside the
// office's export: every later page waits for that export, so it keeps its core while the pages
// already exported are rendered and composed with what is left. A thread cannot raise its priority
// again: call it on threads (or in processes) that do nothing else. Failure is ignored.
void YieldToTheOffice() noexcept;

// Everything above, for main.
void PrepareProcess() noexcept;

}  // namespace vellumet
