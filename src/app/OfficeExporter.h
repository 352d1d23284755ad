#pragma once
// The office suite the desktop program converts with.

#include <memory>

#include "job/SlideExporter.h"

namespace vellumet {

// The exporter over the installed office suite. Never null: without a usable office bridge in the
// build it reports no installed release, and the job refuses with its version message.
std::unique_ptr<SlideExporter> MakeOfficeExporter();

}  // namespace vellumet
