// Measures the LibreOffice automation server: start-up of a private office, opening a deck, and
// export time per slide, on generated decks of 30 and 100 slides; and, as the peer, the time of
// `soffice --headless --convert-to pdf` of the same deck. Prints one table; exits 1 on a failure.
//
// The decks are made here as flat ODF presentations (text, a shadowed shape, a master logo on
// every slide) and turned into .ppt by the office itself, so nothing large is kept in the tree.

#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/ExportFlags.h"
#include "common/WideText.h"
#include "powerpoint/DispatchIds.h"
#include "powerpoint/libreoffice/LibreOfficeServer.h"

namespace {

using Clock = std::chrono::steady_clock;
using powerpoint::AutomationArgument;
using powerpoint::AutomationHolder;
using powerpoint::InvokeKind;
namespace dispid = powerpoint::dispid;

constexpr int kWidth = 1045;
constexpr int kHeight = 784;
constexpr int kRuns = 3;

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void WriteDeck(const std::filesystem::path& file, int slides) {
    std::ofstream out(file);
    out << R"(<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0" xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"
 xmlns:draw="urn:oasis:names:tc:opendocument:xmlns:drawing:1.0" xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0"
 xmlns:svg="urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0"
 xmlns:presentation="urn:oasis:names:tc:opendocument:xmlns:presentation:1.0"
 office:version="1.2" office:mimetype="application/vnd.oasis.opendocument.presentation">
<office:styles>
 <style:style style:name="shadowed" style:family="graphic"><style:graphic-properties draw:fill="solid"
  draw:fill-color="#4f81bd" draw:shadow="visible" draw:shadow-offset-x="0.3cm" draw:shadow-offset-y="0.3cm"
  draw:shadow-color="#404040"/></style:style>
 <style:style style:name="logo" style:family="graphic"><style:graphic-properties draw:fill="solid"
  draw:fill-color="#c0504d"/></style:style>
</office:styles>
<office:automatic-styles>
 <style:page-layout style:name="layout"><style:page-layout-properties fo:page-width="25.4cm" fo:page-height="19.05cm"
  style:print-orientation="landscape"/></style:page-layout>
 <style:style style:name="background" style:family="drawing-page"><style:drawing-page-properties draw:fill="solid"
  draw:fill-color="#eeeeee"/></style:style>
</office:automatic-styles>
<office:master-styles>
 <style:master-page style:name="Default" style:page-layout-name="layout" draw:style-name="background">
  <draw:ellipse draw:style-name="logo" svg:x="22cm" svg:y="16cm" svg:width="2.5cm" svg:height="2.5cm"/>
 </style:master-page>
</office:master-styles>
<office:body><office:presentation>
)";
    for (int i = 1; i <= slides; ++i) {
        out << "<draw:page draw:name=\"page" << i << "\" draw:master-page-name=\"Default\">\n"
            << " <draw:frame svg:x=\"2cm\" svg:y=\"1cm\" svg:width=\"21cm\" "
               "svg:height=\"3cm\"><draw:text-box>"
            << "<text:p>Slide " << i << " of " << slides << "</text:p></draw:text-box></draw:frame>\n"
            << " <draw:frame svg:x=\"2cm\" svg:y=\"5cm\" svg:width=\"10cm\" "
               "svg:height=\"10cm\"><draw:text-box>"
            << "<text:p>First point of slide " << i << "</text:p><text:p>Second point</text:p>"
            << "<text:p>Third point, somewhat longer than the others</text:p></draw:text-box></draw:frame>\n"
            << " <draw:rect draw:style-name=\"shadowed\" svg:x=\"14cm\" svg:y=\"6cm\" svg:width=\"8cm\" "
            << "svg:height=\"6cm\"><text:p>Box " << i << "</text:p></draw:rect>\n"
            << "</draw:page>\n";
    }
    out << "</office:presentation></office:body></office:document>\n";
}

// Runs the office's own command line with a private profile; true when it exited with 0.
bool RunSoffice(const std::filesystem::path& profile, const std::string& arguments) {
    const std::string command = std::string("'") + VELLUMET_SOFFICE + "' -env:UserInstallation=file://" +
                                profile.string() + " --headless --norestore " + arguments +
                                " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

struct Timing {
    double start = 0;    // CreateObject
    double open = 0;     // Presentations, Open
    double exports = 0;  // Export of every slide
    double end = 0;      // release of everything
};

bool Measure(const std::filesystem::path& deck, const std::filesystem::path& folder, int flags,
             Timing& timing) {
    std::filesystem::remove_all(folder);
    powerpoint::LibreOfficeServer server;
    auto t0 = Clock::now();
    AutomationHolder application(server.CreateObject(powerpoint::kApplicationProgId));
    if (!application) {
        std::fprintf(stderr, "office_bench: %s\n", vellumet::ToNative(server.LastError()).c_str());
        return false;
    }
    auto t1 = Clock::now();
    auto r = application->Invoke(dispid::Application::Presentations, InvokeKind::PropertyGet, {});
    AutomationHolder presentations(r.object);
    r = presentations->Invoke(
        dispid::Presentations::Open, InvokeKind::Method,
        {AutomationArgument::Text(vellumet::FromPath(deck)), AutomationArgument::Int32(1),
         AutomationArgument::Int32(0), AutomationArgument::Int32(0)});
    AutomationHolder presentation(r.object);
    if (!r.succeeded) {
        std::fprintf(stderr, "office_bench: %s\n", vellumet::ToNative(r.error).c_str());
        return false;
    }
    if (flags & ExportFlags::OmitBackground) {
        r = presentation->Invoke(dispid::Presentation::Slides, InvokeKind::PropertyGet, {});
        AutomationHolder slides(r.object);
        r = slides->Invoke(dispid::Slides::Count, InvokeKind::PropertyGet, {});
        for (int32_t i = 1; i <= r.integer; ++i) {
            auto s = slides->Invoke(dispid::Slides::Item, InvokeKind::Method,
                                    {AutomationArgument::VariantInt32(i)});
            AutomationHolder slide(s.object);
            slide->Invoke(dispid::Slide::DisplayMasterShapes, InvokeKind::PropertyPut,
                          {AutomationArgument::Int32(0)});
        }
    }
    auto t2 = Clock::now();
    r = presentation->Invoke(
        dispid::Presentation::Export, InvokeKind::Method,
        {AutomationArgument::Text(vellumet::FromPath(folder)), AutomationArgument::Text(L"png"),
         AutomationArgument::Int32(kWidth), AutomationArgument::Int32(kHeight)});
    auto t3 = Clock::now();
    if (!r.succeeded) {
        std::fprintf(stderr, "office_bench: %s\n", vellumet::ToNative(r.error).c_str());
        return false;
    }
    presentation.Reset();
    presentations.Reset();
    application.Reset();
    auto t4 = Clock::now();
    timing = {Seconds(t1 - t0), Seconds(t2 - t1), Seconds(t3 - t2), Seconds(t4 - t3)};
    return true;
}

}  // namespace

int main() {
    char pattern[] = "/tmp/vellumet-office-bench-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) {
        std::perror("office_bench");
        return 1;
    }
    const std::filesystem::path root = pattern;
    const std::filesystem::path profile = root / "peer-profile";
    bool ok = true;

    std::printf("LibreOffice automation server, %d x %d PNG per slide, median of %d runs\n", kWidth, kHeight,
                kRuns);
    std::printf("%-7s %-6s %9s %9s %11s %9s %10s | %10s %10s\n", "slides", "flags", "start s", "open s",
                "export s", "ms/slide", "end s", "pdf cold s", "pdf warm s");
    for (int slides : {30, 100}) {
        const std::filesystem::path flat = root / ("deck" + std::to_string(slides) + ".fodp");
        const std::filesystem::path deck = root / ("deck" + std::to_string(slides) + ".ppt");
        WriteDeck(flat, slides);
        if (!RunSoffice(root / "convert-profile",
                        "--convert-to ppt --outdir '" + root.string() + "' '" + flat.string() + "'") ||
            !std::filesystem::exists(deck)) {
            std::fprintf(stderr, "office_bench: the %d-slide deck could not be made\n", slides);
            ok = false;
            break;
        }

        // The peer: one cold run with a new profile, then warm runs with that profile.
        std::filesystem::remove_all(profile);
        const std::string pdfArgs =
            "--convert-to pdf --outdir '" + (root / "pdf").string() + "' '" + deck.string() + "'";
        auto c0 = Clock::now();
        ok = RunSoffice(profile, pdfArgs) && ok;
        const double pdfCold = Seconds(Clock::now() - c0);
        std::vector<double> pdfWarm;
        for (int run = 0; run < kRuns; ++run) {
            auto w0 = Clock::now();
            ok = RunSoffice(profile, pdfArgs) && ok;
            pdfWarm.push_back(Seconds(Clock::now() - w0));
        }

        for (int flags : {0, int{ExportFlags::OmitBackground}}) {
            std::vector<double> start, open, exports, end;
            for (int run = 0; run < kRuns; ++run) {
                Timing t;
                if (!Measure(deck, root / "pictures", flags, t)) {
                    ok = false;
                    break;
                }
                start.push_back(t.start);
                open.push_back(t.open);
                exports.push_back(t.exports);
                end.push_back(t.end);
            }
            if (start.empty()) {
                break;
            }
            std::printf("%-7d %-6d %9.2f %9.2f %11.2f %9.1f %10.2f | %10.2f %10.2f\n", slides, flags,
                        Median(start), Median(open), Median(exports), 1000.0 * Median(exports) / slides,
                        Median(end), pdfCold, Median(pdfWarm));
        }
    }
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
    return ok ? 0 : 1;
}
