#include "cli/OfficeExporter.h"

#ifdef VELLUMET_HAVE_OFFICE
#include "job/OfficeSlideExporter.h"
#endif

namespace vellumet::cli {

#ifdef VELLUMET_HAVE_OFFICE

std::unique_ptr<SlideExporter> MakeOfficeExporter() {
    return std::make_unique<OfficeSlideExporter>();
}

#else

namespace {

class NoOffice : public SlideExporter {
public:
    int GetPowerPointVersion() override { return 0; }
    int ExportSlides(int, const std::wstring&, const std::wstring&, int32_t, int32_t, int32_t,
                     const CancelToken*) override {
        return -1;
    }
};

}  // namespace

std::unique_ptr<SlideExporter> MakeOfficeExporter() {
    return std::make_unique<NoOffice>();
}

#endif

}  // namespace vellumet::cli
