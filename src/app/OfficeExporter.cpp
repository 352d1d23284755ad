#include "app/OfficeExporter.h"

#if VELLUMET_HAVE_JOB_OFFICE
#include "job/OfficeSlideExporter.h"
#endif

namespace vellumet {

namespace {

// Stands in when the build has no office bridge: no release is installed.
class NoOfficeExporter : public SlideExporter {
public:
    int GetPowerPointVersion() override { return 0; }
    int ExportSlides(int, const std::wstring&, const std::wstring&, int32_t, int32_t, int32_t,
                     const CancelToken*) override {
        return -1;
    }
};

}  // namespace

std::unique_ptr<SlideExporter> MakeOfficeExporter() {
#if VELLUMET_HAVE_JOB_OFFICE
    return std::make_unique<OfficeSlideExporter>();
#else
    return std::make_unique<NoOfficeExporter>();
#endif
}

}  // namespace vellumet
