// Page composition benchmark: pages per second and file size for a folder of slide pictures, in
// each palette (rgb, gray, gray16), with one thread and with every core, against GraphicsMagick doing
// the same page work (turn, fit, the palette's colours, zlib-compressed PDF; for gray16
// "-colorspace Gray -colors 16").
//
//   compose_bench [--pictures DIR] [--count N] [--photo-every N] [--page WxH] [--per-page 1|2]
//                 [--repeat R] [--threads N] [--palette rgb|gray|gray16|all] [--dither ordered|none]
//                 [--only] [--no-gm] [--keep DIR]
//
// Without --pictures, N synthetic slides of 1045 x 784 (text-like shapes, gradients, a photo-like
// area on every slide, or with --photo-every N on every N-th; saved as RGBA PNG like the office
// export) are generated into a temporary folder (or into --keep DIR).
// --only composes once with --threads threads and exits: for measuring peak memory from outside.

#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <QColor>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>
#include <QString>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "common/PageColours.h"
#include "common/WideText.h"
#include "imaging/ComposeDocument.h"
#include "pdfwriter/PDF.h"
#include "pdfwriter/SavePdf.h"

namespace fs = std::filesystem;

namespace {

struct Options {
    std::string pictures;
    int count = 100;
    int pageWidth = 784;
    int pageHeight = 1150;
    int perPage = 1;
    int repeat = 3;
    int photoEvery = 1;  // a photo-like area on every n-th generated slide
    int threads = 0;
    bool only = false;
    bool gm = true;
    std::string keep;
    std::vector<vellumet::Palette> palettes{vellumet::Palette::Rgb, vellumet::Palette::Gray,
                                            vellumet::Palette::Gray16};
    vellumet::Dither dither = vellumet::Dither::Ordered;
};

// A slide that compresses like a real one: flat and gradient areas, many small sharp shapes, and a
// photo-like area of smooth variation with noise.
QImage SyntheticSlide(int index, int w, int h, bool photo) {
    std::mt19937 random(static_cast<unsigned>(1000 + index));
    const auto uniform = [&random](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random);
    };

    QImage image(w, h, QImage::Format_ARGB32);
    QPainter painter(&image);
    QLinearGradient background(0, 0, 0, h);
    background.setColorAt(0, QColor(250, 250, 255));
    background.setColorAt(1, QColor(uniform(200, 235), uniform(210, 240), 255));
    painter.fillRect(0, 0, w, h, background);

    // Title band and title "words".
    painter.fillRect(0, 0, w, h / 7, QColor(30, 50, uniform(90, 140)));
    painter.setRenderHint(QPainter::Antialiasing, true);
    int x = 40;
    while (x < w - 200) {
        const int word = uniform(40, 140);
        painter.setBrush(QColor(245, 245, 245));
        painter.setPen(Qt::NoPen);
        painter.drawRoundedRect(QRectF(x, h / 20.0, word, h / 22.0), 4, 4);
        x += word + uniform(14, 24);
    }

    // Bullet lines of small glyph-like shapes.
    const int photoLeft = w / 2 + uniform(0, 60);
    for (int line = 0; line < 9; ++line) {
        const double y = h / 5.0 + line * (h * 0.7 / 9);
        painter.setBrush(QColor(30, 50, 120));
        painter.drawEllipse(QPointF(50, y + 8), 5, 5);
        double gx = 70;
        const double end = photoLeft - 30 - uniform(0, 150);
        while (gx < end) {
            const int letters = uniform(2, 9);
            for (int l = 0; l < letters && gx < end; ++l) {
                const double glyph = uniform(6, 10);
                painter.setBrush(QColor(20, 20, 20 + uniform(0, 30)));
                if (uniform(0, 3) == 0) {
                    painter.drawEllipse(QRectF(gx, y + 4, glyph, 12));
                } else {
                    painter.drawRect(QRectF(gx, y + uniform(0, 4), glyph * 0.6, 16 - uniform(0, 4)));
                }
                gx += glyph + 1.5;
            }
            gx += uniform(6, 10);
        }
    }

    // A chart-like shape with a radial gradient.
    QRadialGradient glow(w * 0.25, h * 0.85, h * 0.2);
    glow.setColorAt(0, QColor(255, 180, 60, 200));
    glow.setColorAt(1, QColor(255, 180, 60, 0));
    painter.setBrush(glow);
    painter.drawEllipse(QPointF(w * 0.25, h * 0.85), h * 0.2, h * 0.12);
    painter.end();

    if (!photo) {
        return image;
    }
    // Photo-like area: smooth waves with fine noise.
    const int photoTop = h / 5;
    const int photoWidth = w - photoLeft - 40;
    const int photoHeight = h / 2;
    const double fx = 0.01 + (index % 7) * 0.002;
    std::normal_distribution<double> noise(0, 6);
    for (int py = 0; py < photoHeight; ++py) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(photoTop + py));
        for (int px = 0; px < photoWidth; ++px) {
            const double wave = std::sin(px * fx) * std::cos(py * 0.013) + std::sin((px + py) * 0.004);
            const auto channel = [&](double base, double amplitude) {
                return std::clamp(static_cast<int>(base + amplitude * wave + noise(random)), 0, 255);
            };
            row[photoLeft + px] = qRgba(channel(120, 60), channel(140, 50), channel(90, 70), 255);
        }
    }
    return image;
}

double Seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

double CpuSeconds(int who = RUSAGE_SELF) {
    rusage usage{};
    getrusage(who, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct Run {
    double seconds = 0;         // best wall time: compose, finish and save
    double composeSeconds = 0;  // of which composing
    double cpuSeconds = 0;      // processor time of that run
    int pages = 0;
    size_t fileBytes = 0;
    std::string bytes;  // the whole file, for comparing runs
    bool ok = false;
};

// Composes, finishes and saves the document once; the whole page work the conversion does.
Run ComposeOnce(const std::vector<std::wstring>& pictures, const Options& options, vellumet::Palette palette,
                int threads, const fs::path& output, bool keepBytes = true) {
    Run run;
    const double cpuBefore = CpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    std::unique_ptr<PDFWriter::PDF> document =
        ComposeDocument(pictures, options.pageWidth, options.pageHeight, options.perPage,
                        vellumet::PageColours{palette, options.dither}, nullptr, nullptr, threads);
    if (!document) {
        return run;
    }
    run.composeSeconds = Seconds(std::chrono::steady_clock::now() - start);
    document->clock = [] { return PDFWriter::LocalTime{2024, 1, 1, 0, 0, 0}; };
    document->Finish();
    run.ok = PDFWriter::SavePdf(vellumet::FromPath(output), *document);
    run.seconds = Seconds(std::chrono::steady_clock::now() - start);
    run.cpuSeconds = CpuSeconds() - cpuBefore;
    run.pages = static_cast<int>(document->Pages().size());
    run.fileBytes = static_cast<size_t>(document->Buffer().Length());
    if (keepBytes) {
        run.bytes.assign(reinterpret_cast<const char*>(document->Buffer().Data()),
                         static_cast<size_t>(document->Buffer().Length()));
    }
    return run;
}

// Keeps the faster of two runs (a failed run wins, so that the failure shows).
void KeepBest(Run& best, Run run, bool first) {
    if (first || !run.ok || (best.ok && run.seconds < best.seconds)) {
        best = std::move(run);
    }
}

std::string Quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    quoted += '\'';
    return quoted;
}

// GraphicsMagick doing the same page work: turn, fit to the page, the palette's colours, one
// zlib-compressed PDF.
double RunGraphicsMagick(const std::vector<std::string>& pictures, const Options& options,
                         vellumet::Palette palette, const fs::path& output, bool& ok, double& cpuSeconds) {
    std::string command = "gm convert";
    for (const std::string& picture : pictures) {
        command += ' ';
        command += Quote(picture);
    }
    command += " -rotate 270 -resize ";
    command += std::to_string(options.pageWidth);
    command += 'x';
    command += std::to_string(options.pageHeight);
    if (palette == vellumet::Palette::Gray) {
        command += " -colorspace Gray";
    } else if (palette == vellumet::Palette::Gray16) {
        command += " -colorspace Gray -colors 16";
    }
    command += " -compress zip ";
    command += Quote(output.string());
    double best = 0;
    ok = true;
    for (int i = 0; i < options.repeat; ++i) {
        const double cpuBefore = CpuSeconds(RUSAGE_CHILDREN);
        const auto start = std::chrono::steady_clock::now();
        const int status = std::system(command.c_str());
        const double seconds = Seconds(std::chrono::steady_clock::now() - start);
        if (i == 0 || seconds < best) {
            cpuSeconds = CpuSeconds(RUSAGE_CHILDREN) - cpuBefore;
        }
        if (status != 0) {
            ok = false;
            return 0;
        }
        best = i == 0 ? seconds : std::min(best, seconds);
    }
    return best;
}

bool ParseSize(const char* text, int& w, int& h) {
    return std::sscanf(text, "%dx%d", &w, &h) == 2 && w > 0 && h > 0;
}

bool ParseArguments(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--pictures" && hasValue) {
            options.pictures = argv[++i];
        } else if (arg == "--count" && hasValue) {
            options.count = std::atoi(argv[++i]);
        } else if (arg == "--page" && hasValue) {
            if (!ParseSize(argv[++i], options.pageWidth, options.pageHeight)) {
                return false;
            }
        } else if (arg == "--per-page" && hasValue) {
            options.perPage = std::atoi(argv[++i]);
        } else if (arg == "--repeat" && hasValue) {
            options.repeat = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--photo-every" && hasValue) {
            options.photoEvery = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--threads" && hasValue) {
            options.threads = std::atoi(argv[++i]);
        } else if (arg == "--palette" && hasValue) {
            const std::string name = argv[++i];
            if (name != "all") {
                const std::optional<vellumet::Palette> palette =
                    vellumet::PaletteFromName(vellumet::FromNative(name));
                if (!palette) {
                    return false;
                }
                options.palettes = {*palette};
            }
        } else if (arg == "--dither" && hasValue) {
            const std::optional<vellumet::Dither> dither =
                vellumet::DitherFromName(vellumet::FromNative(argv[++i]));
            if (!dither) {
                return false;
            }
            options.dither = *dither;
        } else if (arg == "--keep" && hasValue) {
            options.keep = argv[++i];
        } else if (arg == "--only") {
            options.only = true;
        } else if (arg == "--no-gm") {
            options.gm = false;
        } else {
            return false;
        }
    }
    return options.count > 0 && (options.perPage == 1 || options.perPage == 2);
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseArguments(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: compose_bench [--pictures DIR] [--count N] [--photo-every N] [--page WxH] "
                     "[--per-page 1|2] "
                     "[--repeat R] [--threads N] [--palette rgb|gray|gray16|all] [--dither ordered|none] "
                     "[--only] [--no-gm] [--keep DIR]\n");
        return 2;
    }

    std::string workPattern = (fs::temp_directory_path() / "compose-bench-XXXXXX").string();
    if (::mkdtemp(workPattern.data()) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const fs::path work = workPattern;
    fs::path pictureFolder = options.pictures;
    if (pictureFolder.empty()) {
        pictureFolder = options.keep.empty() ? work / "slides" : fs::path(options.keep);
        fs::create_directories(pictureFolder);
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < options.count; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "slide%03d.png", i + 1);
            SyntheticSlide(i, 1045, 784, i % options.photoEvery == 0)
                .save(QString::fromStdString((pictureFolder / name).string()), "PNG");
        }
        std::printf("generated %d slides of 1045 x 784 in %.1f s\n", options.count,
                    Seconds(std::chrono::steady_clock::now() - start));
    }

    std::vector<std::string> files;
    for (const fs::directory_entry& entry : fs::directory_iterator(pictureFolder)) {
        if (entry.is_regular_file() && entry.path().extension() == ".png") {
            files.push_back(entry.path().string());
        }
    }
    std::sort(files.begin(), files.end());
    std::vector<std::wstring> pictures;
    for (const std::string& file : files) {
        pictures.push_back(vellumet::FromNative(file));
    }
    if (pictures.empty()) {
        std::fprintf(stderr, "no PNG pictures in %s\n", pictureFolder.c_str());
        fs::remove_all(work);
        return 1;
    }

    int status = 0;
    if (options.only) {
        const Run run = ComposeOnce(pictures, options, options.palettes.front(), options.threads,
                                    work / "only.pdf", false);
        std::printf("%d pages in %.3f s (%d threads requested), %zu bytes\n", run.pages, run.seconds,
                    options.threads, run.fileBytes);
        status = run.ok ? 0 : 1;
    } else {
        const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
        std::printf("%zu pictures, page %d x %d, %d per page, %d cores, best of %d\n", pictures.size(),
                    options.pageWidth, options.pageHeight, options.perPage, cores, options.repeat);
        for (const vellumet::Palette palette : options.palettes) {
            const std::string name = vellumet::ToNative(vellumet::PaletteName(palette));
            std::printf("-- palette %s%s\n", name.c_str(),
                        palette == vellumet::Palette::Gray16
                            ? (options.dither == vellumet::Dither::Ordered ? " (ordered dithering)"
                                                                           : " (no dithering)")
                            : "");
            // The thread counts take turns, so that load from elsewhere falls on both alike.
            Run one;
            Run all;
            for (int i = 0; i < options.repeat; ++i) {
                KeepBest(one, ComposeOnce(pictures, options, palette, 1, work / "one.pdf"), i == 0);
                KeepBest(all, ComposeOnce(pictures, options, palette, 0, work / "all.pdf"), i == 0);
            }
            if (!one.ok || !all.ok) {
                std::fprintf(stderr, "composition failed\n");
                status = 1;
                continue;
            }
            std::printf("vellumet, 1 thread:   %6.2f pages/s  (%.3f s wall, composing %.3f s; %.3f s cpu)\n",
                        one.pages / one.seconds, one.seconds, one.composeSeconds, one.cpuSeconds);
            std::printf("vellumet, %d threads:  %6.2f pages/s  (%.3f s wall, composing %.3f s; %.3f s cpu)\n",
                        cores, all.pages / all.seconds, all.seconds, all.composeSeconds, all.cpuSeconds);
            std::printf("speed-up on %d cores: %.2f (composing alone %.2f)\n", cores,
                        one.seconds / all.seconds, one.composeSeconds / all.composeSeconds);
            std::printf("output %zu bytes (%.1f kB a page), identical for both thread counts: %s\n",
                        one.bytes.size(), one.bytes.size() / 1024.0 / std::max(1, one.pages),
                        one.bytes == all.bytes ? "yes" : "NO");
            if (one.bytes != all.bytes) {
                status = 1;
            }
            if (options.gm && options.perPage == 1) {
                bool ok = false;
                double gmCpu = 0;
                const double gm = RunGraphicsMagick(files, options, palette, work / "gm.pdf", ok, gmCpu);
                if (ok) {
                    const double gmPages = static_cast<double>(files.size()) / gm;
                    std::printf("GraphicsMagick:       %6.2f pages/s  (%.3f s wall; %.3f s cpu), %ju bytes\n",
                                gmPages, gm, gmCpu, static_cast<uintmax_t>(fs::file_size(work / "gm.pdf")));
                    std::printf(
                        "vellumet vs GraphicsMagick, wall time: %.2f x (1 thread), %.2f x (%d threads)\n",
                        gm / one.seconds, gm / all.seconds, cores);
                    std::printf("vellumet vs GraphicsMagick, processor time: %.2f x\n",
                                gmCpu / one.cpuSeconds);
                } else {
                    std::fprintf(stderr, "gm convert failed\n");
                }
            }
        }
    }
    std::error_code ignored;
    fs::remove_all(work, ignored);
    return status;
}
