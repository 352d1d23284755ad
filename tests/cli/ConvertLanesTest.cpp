// Several inputs, two offices: inputs convert two at a time, and whatever order they finish in,
// the paths, the messages and the status come in input order. In process, with stand-in offices.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "cli/ConvertCommand.h"
#include "common/WideText.h"
#include "imaging/ComposeDocument.h"
#include "imaging/PngEncoder.h"
#include "job/SlidePictures.h"
#include "support/MemoryStore.h"
#include "support/TempFolder.h"

namespace vellumet::cli {
namespace {

// Writes two small pictures per deck; a deck named "bad..." gives none, and "slow..." waits (up to
// ten seconds) until the other office has begun its fifth deck: the other lane takes all the rest.
// An office that cannot start gives no pictures for any deck.
class LaneOffice : public SlideExporter {
public:
    int GetPowerPointVersion() override { return 4; }
    std::wstring VersionRefusal() const override { return L"too old"; }
    std::wstring LastFailure() const override { return failure_; }
    bool PrepareForExport(const CancelToken*) override {
        ++prepared;
        failure_ = startable ? L"" : kCannotStart;
        return startable;
    }
    int ExportSlides(int, const std::wstring& source, const std::wstring& folder, int32_t width,
                     int32_t height, int32_t, const CancelToken*) override {
        ++decks;
        const std::wstring name = GetFileName(source);
        failure_ = name.rfind(L"bad", 0) == 0 ? L"The deck is broken: " + name : L"";
        if (!startable) {
            failure_ = kCannotStart;
        }
        if (name.rfind(L"slow", 0) == 0 && other != nullptr) {
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
            while (other->decks < 5 && std::chrono::steady_clock::now() < deadline) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        }
        if (!failure_.empty()) {
            return -1;
        }
        const std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * 3, 200);
        for (int slide = 1; slide <= 2; ++slide) {
            const std::vector<uint8_t> png = imaging::EncodeRgbPng(pixels.data(), width * 3, width, height);
            std::FILE* file =
                std::fopen(ToNative(folder + L"/Slide" + std::to_wstring(slide) + L".png").c_str(), "wb");
            std::fwrite(png.data(), 1, png.size(), file);
            std::fclose(file);
        }
        return 0;
    }

    static constexpr wchar_t kCannotStart[] = L"The office stopped while starting.";
    std::atomic<int> decks{0};
    std::atomic<int> prepared{0};
    const LaneOffice* other = nullptr;
    bool startable = true;

private:
    std::wstring failure_;
};

// Runs vellumet-convert on decks of `names` (in `folder`) with the two offices; what it printed,
// paths and messages in one stream as on a terminal, goes to `said`.
int RunLanes(const vellumet_test::TempFolder& folder, const std::vector<std::string>& names,
             LaneOffice& first, LaneOffice& second, std::string& said) {
    std::vector<std::string> args = {"-q", "-d", "Amazon Kindle DX", "-o", (folder.Path() / "out").string()};
    for (const std::string& name : names) {
        folder.WriteFile(name, "deck");
        args.push_back((folder.Path() / name).string());
    }
    first.other = &second;
    second.other = &first;
    settings::MemoryStore store;
    char* text = nullptr;
    size_t size = 0;
    CommandServices services;
    services.exporter = &first;
    services.spareExporter = &second;
    services.compose = &ComposeDocument;
    services.store = &store;
    services.out = open_memstream(&text, &size);
    services.err = services.out;
    int status = -1;
    {
        ConvertCommand command(services);
        if (command.Parse(args)) {
            status = command.Run();
        }
    }
    std::fclose(services.out);
    said = text == nullptr ? std::string() : std::string(text, size);
    std::free(text);
    return status;
}

// What the run prints for `names`: the PDF's path, or the failure with `why` (else the deck's own).
std::string Expected(const vellumet_test::TempFolder& folder, const std::vector<std::string>& names,
                     const std::string& why = "") {
    std::string expected;
    for (const std::string& name : names) {
        const std::string base = name.substr(0, name.size() - 4);
        if (!why.empty() || name.rfind("bad", 0) == 0) {
            expected += "Can not convert the file:" + (folder.Path() / name).string() + "\n" +
                        (why.empty() ? "The deck is broken: " + name : why) + "\n";
        } else {
            expected += (folder.Path() / "out" / (base + ".pdf")).string() + "\n";
        }
    }
    return expected;
}

// A job's messages must wait until the jobs before it are reported.
TEST(ConvertLanes, TwoOfficesConvertAtOnceAndEverythingIsReportedInInputOrder) {
    vellumet_test::TempFolder folder;
    const std::vector<std::string> names = {"slow.ppt", "one.ppt",  "bad1.ppt",
                                            "two.ppt",  "bad2.ppt", "three.ppt"};
    LaneOffice first;
    LaneOffice second;
    std::string said;
    const int status = RunLanes(folder, names, first, second, said);

    EXPECT_EQ(status, 3) << "the first failure's status";
    EXPECT_EQ(said, Expected(folder, names));
    for (const char* base : {"slow", "one", "two", "three"}) {
        EXPECT_TRUE(std::filesystem::exists(folder.Path() / "out" / (std::string(base) + ".pdf"))) << base;
    }
    EXPECT_EQ(first.decks + second.decks, 6);
    EXPECT_EQ(std::max(first.decks.load(), second.decks.load()), 5)
        << "one office went on while the other had the slow deck";
}

// An office that cannot start gives its lane's decks back: the other office converts them all. When
// neither starts, every deck fails with the reason, in order, and the run ends.
TEST(ConvertLanes, ALaneWithoutAnOfficeLeavesItsDecksToTheOther) {
    vellumet_test::TempFolder folder;
    const std::vector<std::string> names = {"one.ppt", "two.ppt", "three.ppt", "four.ppt"};
    for (const bool firstStarts : {true, false}) {
        SCOPED_TRACE(firstStarts ? "the spare office cannot start" : "the first office cannot start");
        LaneOffice first;
        LaneOffice second;
        (firstStarts ? second : first).startable = false;
        std::string said;
        EXPECT_EQ(RunLanes(folder, names, first, second, said), 0);
        EXPECT_EQ(said, Expected(folder, names));
        EXPECT_EQ((firstStarts ? first : second).decks, 4);
        EXPECT_EQ((firstStarts ? second : first).decks, 0);
    }
    LaneOffice first;
    LaneOffice second;
    first.startable = second.startable = false;
    std::string said;
    EXPECT_EQ(RunLanes(folder, names, first, second, said), 3);
    EXPECT_EQ(said, Expected(folder, names, "The office stopped while starting."));
    EXPECT_EQ(first.decks + second.decks, 4);
}

}  // namespace
}  // namespace vellumet::cli
