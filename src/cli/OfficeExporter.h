#pragma once
// The slide export of the installed office suite, as the command line uses it.

#include <memory>

#include "job/SlideExporter.h"

namespace vellumet::cli {

// The exporter over the installed LibreOffice, or, in a build without the office bridge, one that
// reports that no usable office is installed.
std::unique_ptr<SlideExporter> MakeOfficeExporter();

}  // namespace vellumet::cli
