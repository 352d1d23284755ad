// The LibreOffice layer as the office module (powerpoint/OfficeModule.h): the only symbol it exports
// is the factory of its exporter.

#include <new>

#include "powerpoint/OfficeModule.h"
#include "powerpoint/libreoffice/LibreOfficeExporter.h"

extern "C" __attribute__((visibility("default"))) vellumet::SlideExporter* vellumet_new_office_exporter() {
    return new (std::nothrow) powerpoint::LibreOfficeExporter();
}

// The factory must match the type the loader expects.
static_assert(sizeof(powerpoint::OfficeExporterFactory{&vellumet_new_office_exporter}) > 0);
