#pragma once
// The slide export of the installed office suite, as the command line uses it.

#include <memory>

#include "common/CancelToken.h"
#include "job/SlideExporter.h"

namespace vellumet::cli {

// The exporter over the installed LibreOffice; `cancel` (may be null, must outlive the exporter)
// stops a running office.
std::unique_ptr<SlideExporter> MakeOfficeExporter(const CancelToken* cancel);

}  // namespace vellumet::cli
