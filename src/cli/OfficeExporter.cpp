#include "cli/OfficeExporter.h"

namespace vellumet::cli {

namespace {

// Stands in while no office exporter is built in: reports that no usable office is installed.
class NoOffice : public SlideExporter {
public:
    int GetPowerPointVersion() override { return 0; }
    int ExportSlides(int, const std::wstring&, const std::wstring&, int32_t, int32_t, int32_t,
                     const CancelToken*) override {
        return -1;
    }
};

}  // namespace

std::unique_ptr<SlideExporter> MakeOfficeExporter(const CancelToken*) {
    return std::make_unique<NoOffice>();
}

}  // namespace vellumet::cli
