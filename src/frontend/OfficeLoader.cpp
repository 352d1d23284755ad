#include "frontend/OfficeLoader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "common/WideText.h"
#include "powerpoint/OfficeModule.h"
#include "powerpoint/libreoffice/OfficeVersion.h"

#ifndef VELLUMET_OFFICE_MODULE_FROM_BINDIR
#error "VELLUMET_OFFICE_MODULE_FROM_BINDIR: the module's path relative to the installed programs"
#endif
#if !defined(VELLUMET_OFFICE_MODULE_BUILT) || !defined(VELLUMET_BUILD_TREE)
#error \
    "VELLUMET_OFFICE_MODULE_BUILT and VELLUMET_BUILD_TREE: the module's path in the build tree, and that tree"
#endif

namespace vellumet {

namespace {

namespace fs = std::filesystem;

std::vector<fs::path> ModuleCandidates() {
    const char* chosen = std::getenv(powerpoint::kOfficeModuleVariable);
    if (chosen != nullptr && chosen[0] != '\0') {
        return {fs::path(chosen)};
    }
    std::error_code error;
    const fs::path program = fs::read_symlink("/proc/self/exe", error);
    if (error) {
        return {};
    }
    // A program that runs where it was built takes that build's module; an installed one only the
    // module installed with it.
    const std::string tree = fs::path(VELLUMET_BUILD_TREE).lexically_normal().string() + "/";
    if (program.string().compare(0, tree.size(), tree) == 0) {
        return {fs::path(VELLUMET_OFFICE_MODULE_BUILT)};
    }
    return {(program.parent_path() / VELLUMET_OFFICE_MODULE_FROM_BINDIR).lexically_normal()};
}

}  // namespace

OfficeLoader::OfficeLoader() = default;
OfficeLoader::~OfficeLoader() = default;

SlideExporter* OfficeLoader::Loaded() {
    std::lock_guard lock(mutex_);
    if (tried_) {
        return exporter_.get();
    }
    tried_ = true;
    std::wstring failures;
    for (const fs::path& candidate : ModuleCandidates()) {
        std::error_code error;
        if (!fs::exists(candidate, error)) {
            failures += (failures.empty() ? L"" : L"; ") + FromPath(candidate) + L" is missing";
            continue;
        }
        void* module = ::dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (module == nullptr) {
            const char* why = ::dlerror();
            failures +=
                (failures.empty() ? L"" : L"; ") + FromNative(why != nullptr ? why : "cannot be loaded");
            continue;
        }
        const auto factory = reinterpret_cast<powerpoint::OfficeExporterFactory>(
            ::dlsym(module, powerpoint::kOfficeExporterFactory));
        if (factory == nullptr) {
            failures += (failures.empty() ? L"" : L"; ") + FromPath(candidate) + L" is no office module";
            continue;
        }
        exporter_.reset(factory());
        if (exporter_) {
            return exporter_.get();
        }
        failures += (failures.empty() ? L"" : L"; ") + std::wstring(L"out of memory");
    }
    loadFailure_ = L"The office layer cannot be loaded: " + failures;
    return nullptr;
}

int OfficeLoader::GetPowerPointVersion() {
    SlideExporter* office = Loaded();
    return office != nullptr ? office->GetPowerPointVersion() : 0;
}

std::wstring OfficeLoader::VersionRefusal() const {
    std::lock_guard lock(mutex_);
    return exporter_ ? exporter_->VersionRefusal() : std::wstring(powerpoint::kOfficeVersionRefusal);
}

int OfficeLoader::ExportSlides(int flags, const std::wstring& sourcePath, const std::wstring& folder,
                               int32_t exportWidth, int32_t exportHeight, int32_t openDispId,
                               const CancelToken* cancel) {
    SlideExporter* office = Loaded();
    // The job asks for the version first and never exports without an office.
    return office != nullptr ? office->ExportSlides(flags, sourcePath, folder, exportWidth, exportHeight,
                                                    openDispId, cancel)
                             : -1;
}

bool OfficeLoader::PrepareForExport(const CancelToken* cancel) {
    SlideExporter* office = Loaded();
    return office != nullptr && office->PrepareForExport(cancel);
}

std::wstring OfficeLoader::LastFailure() const {
    std::lock_guard lock(mutex_);
    return exporter_ ? exporter_->LastFailure() : loadFailure_;
}

}  // namespace vellumet
