#include "OfficeTestSupport.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <unistd.h>

#include <QCryptographicHash>
#include <QFile>
#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>

#include "common/WideText.h"
#include "powerpoint/DispatchIds.h"
#include "powerpoint/SlideExport.h"

namespace powerpoint::test {

std::filesystem::path CorpusDir() {
    return VELLUMET_CORPUS_DIR;
}

bool OfficeInstalled() {
    return ::access(VELLUMET_SOFFICE_BIN, X_OK) == 0;
}

std::vector<CorpusEntry> ReadCatalogue() {
    std::vector<CorpusEntry> entries;
    std::ifstream in(CorpusDir() / "CATALOGUE.tsv");
    std::string line;
    std::getline(in, line);  // header
    while (std::getline(in, line)) {
        std::vector<std::string> cells;
        std::stringstream row(line);
        std::string cell;
        while (std::getline(row, cell, '\t')) {
            cells.push_back(cell);
        }
        if (cells.size() < 9) {
            continue;
        }
        CorpusEntry entry;
        entry.file = cells[0];
        entry.opens = cells[6] == "yes";
        entry.slides = cells[7].empty() ? 0 : std::stoi(cells[7]);
        std::sscanf(cells[8].c_str(), "%lf x %lf", &entry.pageWidth, &entry.pageHeight);
        entries.push_back(entry);
    }
    return entries;
}

void OfficeTest::SetUp() {
    std::filesystem::create_directories(officeRoot_);
}

void OfficeTest::TearDown() {
    EXPECT_TRUE(ChildProcesses().empty()) << "an office process survived";
    std::error_code ec;
    EXPECT_TRUE(std::filesystem::is_empty(officeRoot_, ec)) << "an office left its private folder behind";
}

LibreOfficeOptions OfficeTest::Options() const {
    LibreOfficeOptions options;
    options.tempRoot = officeRoot_;
    return options;
}

int OfficeTest::Export(const std::filesystem::path& source, int flags, int width, int height,
                       std::filesystem::path& folder, const vellumet::CancelToken* cancel) {
    LibreOfficeOptions options = Options();
    options.cancel = cancel;
    return Export(source, flags, width, height, folder, options);
}

int OfficeTest::Export(const std::filesystem::path& source, int flags, int width, int height,
                       std::filesystem::path& folder, LibreOfficeOptions options) {
    folder = root_ / ("export" + std::to_string(++exports_));
    options.tempRoot = officeRoot_;
    const vellumet::CancelToken* cancel = options.cancel;
    LibreOfficeServer server(options);
    const int result = ExportSlides(flags, vellumet::FromPath(source), vellumet::FromPath(folder), width,
                                    height, dispid::Presentations::Open, server, cancel);
    ExpectNoTraces(server);
    return result;
}

void OfficeTest::ExpectNoTraces(const LibreOfficeServer& server) {
    const OfficeFootprint footprint = server.LastFootprint();
    if (footprint.pid > 0) {
        EXPECT_FALSE(ProcessAlive(footprint.pid)) << "office " << footprint.pid << " still runs";
    }
    if (!footprint.privateFolder.empty()) {
        EXPECT_FALSE(std::filesystem::exists(footprint.privateFolder)) << footprint.privateFolder;
    }
    for (const auto& socket : footprint.pipeSockets) {
        EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(socket))) << socket;
    }
}

std::vector<std::filesystem::path> Pictures(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> pictures;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        if (entry.path().extension() == ".png") {
            pictures.push_back(entry.path());
        }
    }
    std::sort(pictures.begin(), pictures.end());
    return pictures;
}

std::vector<std::filesystem::path> ExpectedPictures(const std::filesystem::path& folder, int count) {
    std::vector<std::filesystem::path> pictures;
    for (int i = 1; i <= count; ++i) {
        pictures.push_back(folder / ("Slide" + std::to_string(i) + ".png"));
    }
    std::sort(pictures.begin(), pictures.end());
    return pictures;
}

double DifferingShare(const QImage& a, const QImage& b) {
    if (a.size() != b.size() || a.isNull()) {
        return 1.0;
    }
    const QImage x = a.convertToFormat(QImage::Format_RGB888);
    const QImage y = b.convertToFormat(QImage::Format_RGB888);
    long differing = 0;
    for (int row = 0; row < x.height(); ++row) {
        const uchar* p = x.constScanLine(row);
        const uchar* q = y.constScanLine(row);
        for (int col = 0; col < x.width(); ++col) {
            if (p[3 * col] != q[3 * col] || p[3 * col + 1] != q[3 * col + 1] ||
                p[3 * col + 2] != q[3 * col + 2]) {
                ++differing;
            }
        }
    }
    return static_cast<double>(differing) / (static_cast<double>(x.width()) * x.height());
}

double Likeness(const QImage& a, const QImage& b) {
    const QSize quarter(std::max(1, a.width() / 4), std::max(1, a.height() / 4));
    auto grey = [&quarter](const QImage& picture) {
        return picture.scaled(quarter, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
            .convertToFormat(QImage::Format_Grayscale8);
    };
    const QImage x = grey(a);
    const QImage y = grey(b);
    const double n = static_cast<double>(quarter.width()) * quarter.height();
    double sumX = 0;
    double sumY = 0;
    for (int row = 0; row < quarter.height(); ++row) {
        for (int col = 0; col < quarter.width(); ++col) {
            sumX += x.constScanLine(row)[col];
            sumY += y.constScanLine(row)[col];
        }
    }
    const double meanX = sumX / n;
    const double meanY = sumY / n;
    double xy = 0;
    double xx = 0;
    double yy = 0;
    for (int row = 0; row < quarter.height(); ++row) {
        for (int col = 0; col < quarter.width(); ++col) {
            const double dx = x.constScanLine(row)[col] - meanX;
            const double dy = y.constScanLine(row)[col] - meanY;
            xy += dx * dy;
            xx += dx * dx;
            yy += dy * dy;
        }
    }
    constexpr double kFlat = 1.0;  // a variance below one grey level squared per pixel
    if (xx < kFlat * n || yy < kFlat * n) {
        return xx < kFlat * n && yy < kFlat * n ? 1.0 - std::abs(meanX - meanY) / 255.0 : 0.0;
    }
    return xy / std::sqrt(xx * yy);
}

std::string HashOf(const std::filesystem::path& file) {
    QFile in(QString::fromStdString(file.string()));
    if (!in.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QCryptographicHash::hash(in.readAll(), QCryptographicHash::Sha256).toHex().toStdString();
}

struct timespec CreationTime(const std::filesystem::path& file) {
    struct statx info {};
    ::statx(AT_FDCWD, file.c_str(), 0, STATX_BTIME | STATX_MTIME, &info);
    const statx_timestamp t = (info.stx_mask & STATX_BTIME) != 0 ? info.stx_btime : info.stx_mtime;
    return {static_cast<time_t>(t.tv_sec), static_cast<long>(t.tv_nsec)};
}

bool Before(const struct timespec& a, const struct timespec& b) {
    return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

}  // namespace powerpoint::test
