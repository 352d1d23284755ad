#include "support/PdfReading.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <regex>
#include <sstream>

#include "support/Processes.h"

namespace vellumet_test {
namespace {

std::string Quote(const std::filesystem::path& path) {
    std::string quoted = "'";
    for (const char c : path.string()) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

// Undoes the five entities pdftotext writes in its XHTML.
std::string Unescape(const std::string& text) {
    static const std::pair<const char*, const char*> kEntities[] = {
        {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&apos;", "'"}, {"&amp;", "&"}};
    std::string out = text;
    for (const auto& [entity, character] : kEntities) {
        for (size_t at = out.find(entity); at != std::string::npos; at = out.find(entity, at + 1)) {
            out.replace(at, std::char_traits<char>::length(entity), character);
        }
    }
    return out;
}

QJsonObject QpdfJson(const std::filesystem::path& pdf, const char* key) {
    const ProcessResult result =
        RunProcess({"/usr/bin/qpdf", "--json", std::string("--json-key=") + key, pdf.string()});
    if (result.exitCode != 0 && result.exitCode != 3) {
        return {};
    }
    return QJsonDocument::fromJson(QByteArray::fromStdString(result.out)).object();
}

std::string Utf8(const QJsonValue& value) {
    QString text = value.toString();
    // qpdf marks text strings "u:" and binary strings "b:".
    if (text.startsWith(QStringLiteral("u:"))) {
        text.remove(0, 2);
    }
    return text.toStdString();
}

}  // namespace

std::vector<PdfWord> PdfWords(const std::filesystem::path& pdf) {
    const ProcessResult result = RunShell("pdftotext -bbox " + Quote(pdf) + " - 2>/dev/null");
    std::vector<PdfWord> words;
    static const std::regex kWord(
        R"re(<word xMin="([-0-9.]+)" yMin="([-0-9.]+)" xMax="([-0-9.]+)" yMax="([-0-9.]+)">([^<]*)</word>)re");
    int page = -1;
    std::istringstream lines(result.out);
    std::string line;
    std::smatch match;
    while (std::getline(lines, line)) {
        if (line.find("<page ") != std::string::npos) {
            ++page;
        } else if (std::regex_search(line, match, kWord)) {
            words.push_back({page, Unescape(match[5].str()), std::stod(match[1].str()),
                             std::stod(match[2].str()), std::stod(match[3].str()),
                             std::stod(match[4].str())});
        }
    }
    return words;
}

std::vector<std::pair<double, double>> PdfPageSizes(const std::filesystem::path& pdf) {
    const ProcessResult result = RunShell("pdftotext -bbox " + Quote(pdf) + " - 2>/dev/null");
    static const std::regex kPage(R"re(<page width="([0-9.]+)" height="([0-9.]+)">)re");
    std::vector<std::pair<double, double>> sizes;
    for (auto it = std::sregex_iterator(result.out.begin(), result.out.end(), kPage);
         it != std::sregex_iterator(); ++it) {
        sizes.emplace_back(std::stod((*it)[1].str()), std::stod((*it)[2].str()));
    }
    return sizes;
}

std::vector<std::string> PdfTextWords(const std::filesystem::path& pdf) {
    const ProcessResult result = RunShell("pdftotext " + Quote(pdf) + " - 2>/dev/null");
    std::vector<std::string> words;
    std::istringstream text(result.out);
    std::string word;
    while (text >> word) {
        words.push_back(word);
    }
    return words;
}

std::vector<PdfOutlineEntry> PdfOutline(const std::filesystem::path& pdf) {
    std::vector<PdfOutlineEntry> entries;
    for (const QJsonValue& item : QpdfJson(pdf, "outlines").value(QStringLiteral("outlines")).toArray()) {
        const QJsonObject entry = item.toObject();
        entries.push_back({Utf8(entry.value(QStringLiteral("title"))),
                           entry.value(QStringLiteral("destpageposfrom1")).toInt()});
    }
    return entries;
}

std::vector<PdfLabelRange> PdfPageLabels(const std::filesystem::path& pdf) {
    std::vector<PdfLabelRange> ranges;
    for (const QJsonValue& item : QpdfJson(pdf, "pagelabels").value(QStringLiteral("pagelabels")).toArray()) {
        const QJsonObject range = item.toObject();
        const QJsonObject label = range.value(QStringLiteral("label")).toObject();
        ranges.push_back({range.value(QStringLiteral("index")).toInt(),
                          Utf8(label.value(QStringLiteral("/S"))), Utf8(label.value(QStringLiteral("/P"))),
                          label.value(QStringLiteral("/St")).toInt(1)});
    }
    return ranges;
}

bool PdfChecksClean(const std::filesystem::path& pdf, std::string* report) {
    const ProcessResult check = RunProcess({"/usr/bin/qpdf", "--check", pdf.string()});
    const ProcessResult info = RunShell("pdfinfo " + Quote(pdf) + " 2>&1");
    if (report != nullptr) {
        *report = check.out + check.err + info.out;
    }
    return check.exitCode == 0 &&
           check.out.find("No syntax or stream encoding errors") != std::string::npos && check.err.empty() &&
           info.exitCode == 0 && info.out.find("Syntax Error") == std::string::npos;
}

}  // namespace vellumet_test
