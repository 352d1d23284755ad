#include "slidetext/SlideTextReader.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QXmlStreamReader>
#include <chrono>
#include <cmath>
#include <exception>
#include <filesystem>
#include <initializer_list>
#include <thread>
#include <utility>
#include <vector>

#include "common/QStringText.h"
#include "common/WideText.h"

namespace vellumet {
namespace {

// poppler's pdftotext lays the words out and qpdf reads the outline; both run as programs of their
// own, so no library of theirs is linked into ours.
constexpr std::chrono::seconds kProgramBudget{120};

// Runs `args` (args[0] is looked up on PATH) with its standard output written to `output`. True when
// it ran and exited with a status in `accepted`; it is killed when it runs out of time or `cancel`
// is set.
bool RunProgram(std::vector<std::string> args, const std::string& output, std::initializer_list<int> accepted,
                const CancelToken* cancel) {
    const int devNull = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    const int out = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (devNull < 0 || out < 0) {
        for (int fd : {devNull, out}) {
            if (fd >= 0) {
                ::close(fd);
            }
        }
        return false;
    }
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(devNull, 0);
        ::dup2(out, 1);
        ::dup2(devNull, 2);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(devNull);
    ::close(out);
    if (pid < 0) {
        return false;
    }
    const auto until = std::chrono::steady_clock::now() + kProgramBudget;
    for (;;) {
        int status = 0;
        const pid_t ended = ::waitpid(pid, &status, WNOHANG);
        if (ended == pid) {
            if (!WIFEXITED(status)) {
                return false;
            }
            for (int code : accepted) {
                if (WEXITSTATUS(status) == code) {
                    return true;
                }
            }
            return false;
        }
        if (ended < 0 && errno != EINTR) {
            return false;
        }
        if ((cancel != nullptr && cancel->IsCancelled()) || std::chrono::steady_clock::now() > until) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

// The titles of the outline's top-level entries with the page each opens (from 1), in order; empty
// when the outline cannot be read.
std::vector<std::pair<int, std::wstring>> OutlineEntries(const std::wstring& pdf, const CancelToken* cancel) {
    std::vector<std::pair<int, std::wstring>> entries;
    const std::wstring json = pdf + L".outline.json";
    if (RunProgram({"qpdf", "--json", "--json-key=outlines", ToNative(pdf)}, ToNative(json), {0, 3},
                   cancel)) {
        QFile file(ToQString(json));
        if (file.open(QIODevice::ReadOnly)) {
            const QJsonArray outlines =
                QJsonDocument::fromJson(file.readAll()).object().value("outlines").toArray();
            for (const QJsonValue& entry : outlines) {
                const QJsonObject item = entry.toObject();
                entries.emplace_back(item.value("destpageposfrom1").toInt(0),
                                     FromQString(item.value("title").toString()));
            }
        }
    }
    std::error_code error;
    std::filesystem::remove(ToPath(json), error);
    return entries;
}

double Number(const QXmlStreamAttributes& attributes, const char* name) {
    bool ok = false;
    const double value = attributes.value(QLatin1String(name)).toDouble(&ok);
    return ok ? value : std::nan("");
}

struct PlacedWord {
    SlideWord word;
    double x = 0;  // centre, in points
    double y = 0;
    double width = 0;  // in points
    double height = 0;
};

// The direction a line's words run in, from the first word's centre to the last one's. A line of
// one word runs left to right, unless the word of several characters stands upright in a box much
// taller than wide: then it is taken to run down (which way cannot be told from one box).
int LineQuarterTurns(const std::vector<PlacedWord>& line) {
    if (line.empty()) {
        return 0;
    }
    if (line.size() == 1) {
        const PlacedWord& word = line.front();
        return word.word.text.size() > 1 && word.height > 2 * word.width ? 1 : 0;
    }
    const double dx = line.back().x - line.front().x;
    const double dy = line.back().y - line.front().y;
    if (std::abs(dx) >= std::abs(dy)) {
        return dx >= 0 ? 0 : 2;
    }
    return dy > 0 ? 1 : 3;
}

// The slides of a pdftotext word layout, or nothing when it is not one.
std::optional<std::vector<SlideText>> ParseLayout(QXmlStreamReader& xml, const CancelToken* cancel) {
    std::vector<SlideText> slides;
    double width = 0;
    double height = 0;
    std::vector<PlacedWord> line;
    auto endLine = [&] {
        const int turns = LineQuarterTurns(line);
        for (size_t i = 0; i < line.size(); ++i) {
            if (slides.back().words.size() >= kMaxWordsPerSlide) {
                break;
            }
            line[i].word.quarterTurns = turns;
            line[i].word.spaceAfter = i + 1 < line.size();
            slides.back().words.push_back(std::move(line[i].word));
        }
        line.clear();
    };
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            const auto name = xml.name();
            if (name == QLatin1String("page")) {
                if (cancel != nullptr && cancel->IsCancelled()) {
                    return std::nullopt;
                }
                slides.emplace_back();
                width = Number(xml.attributes(), "width");
                height = Number(xml.attributes(), "height");
            } else if (name == QLatin1String("word") && !slides.empty()) {
                const QXmlStreamAttributes attributes = xml.attributes();
                PlacedWord placed;
                const double left = Number(attributes, "xMin");
                const double top = Number(attributes, "yMin");
                const double right = Number(attributes, "xMax");
                const double bottom = Number(attributes, "yMax");
                placed.word.text = FromQString(xml.readElementText());
                placed.word.box = {left / width, top / height, right / width, bottom / height};
                placed.x = (left + right) / 2;
                placed.y = (top + bottom) / 2;
                placed.width = right - left;
                placed.height = bottom - top;
                const SlideBox& box = placed.word.box;
                const bool real = width > 0 && height > 0 && std::isfinite(box.left) &&
                                  std::isfinite(box.top) && std::isfinite(box.right) &&
                                  std::isfinite(box.bottom) && box.right > box.left && box.bottom > box.top;
                if (!placed.word.text.empty() && real) {
                    line.push_back(std::move(placed));
                }
            }
        } else if (token == QXmlStreamReader::EndElement && xml.name() == QLatin1String("line") &&
                   !slides.empty()) {
            endLine();
        }
    }
    if (xml.hasError() && xml.error() != QXmlStreamReader::PrematureEndOfDocumentError) {
        return std::nullopt;
    }
    return slides;
}

}  // namespace

std::optional<std::vector<SlideText>> ReadSlideText(const std::wstring& path, int firstSlide,
                                                    const CancelToken* cancel) {
    try {
        const std::string pdf = ToNative(path);
        std::error_code error;
        if (!std::filesystem::is_regular_file(pdf, error)) {
            return std::nullopt;
        }
        const std::wstring layoutPath = path + L".words.html";
        const std::string layout = ToNative(layoutPath);
        const bool laidOut =
            RunProgram({"pdftotext", "-bbox-layout", "-enc", "UTF-8", pdf, "-"}, layout, {0}, cancel);
        std::optional<std::vector<SlideText>> slides;
        if (laidOut) {
            QFile file(ToQString(layoutPath));
            if (file.open(QIODevice::ReadOnly)) {
                // A slide's text may hold control characters, which pdftotext passes on but XML
                // forbids: they become spaces (no byte of a longer UTF-8 sequence is below 0x80).
                QByteArray bytes = file.readAll();
                for (char& byte : bytes) {
                    const auto value = static_cast<unsigned char>(byte);
                    if (value < 0x20 && value != '\t' && value != '\n' && value != '\r') {
                        byte = ' ';
                    }
                }
                QXmlStreamReader xml(bytes);
                slides = ParseLayout(xml, cancel);
            }
        }
        std::filesystem::remove(layout, error);
        if (!slides) {
            return slides;
        }
        // Titles from the office's outline when it has one entry per page, each opening its page
        // (or, in a later part, none opening any); an entry that is just the office's default name
        // for the slide is no title.
        const std::vector<std::pair<int, std::wstring>> outline = OutlineEntries(path, cancel);
        if (outline.size() == slides->size()) {
            for (size_t i = 0; i < outline.size(); ++i) {
                const int opens = outline[i].first;
                const bool placed = opens == static_cast<int>(i) + 1 || (firstSlide > 0 && opens == 0);
                if (placed && outline[i].second != L"Slide " + std::to_wstring(firstSlide + i + 1)) {
                    (*slides)[i].title = outline[i].second;
                }
            }
        }
        return slides;
    } catch (const std::exception&) {
        // Allocation failures: the deck has no text for us.
        return std::nullopt;
    }
}

}  // namespace vellumet
