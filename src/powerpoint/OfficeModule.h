#pragma once
// The office layer is a plugin module: the programs start, and do everything that needs no office,
// without the office's own libraries; they load the module when a presentation needs the office.
// This is the module's whole interface.

#include "job/SlideExporter.h"

namespace powerpoint {

// The module's file name, and the environment variable that names another module file instead.
inline constexpr char kOfficeModuleFile[] = "libvellumet-office.so";
inline constexpr char kOfficeModuleVariable[] = "VELLUMET_OFFICE_MODULE";

// The factory the module exports under this name: a new exporter for the installed office, owned
// by the caller, or null when there is no memory. The module must stay loaded while it lives.
inline constexpr char kOfficeExporterFactory[] = "vellumet_new_office_exporter";
using OfficeExporterFactory = vellumet::SlideExporter* (*)();

}  // namespace powerpoint
