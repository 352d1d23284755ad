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
class LaneOffice : public SlideExporter {
public:
    int GetPowerPointVersion() override { return 4; }
    std::wstring VersionRefusal() const override { return L"too old"; }
    std::wstring LastFailure() const override { return failure_; }
    int ExportSlides(int, const std::wstring& source, const std::wstring& folder, int32_t width,
                     int32_t height, int32_t, const CancelToken*) override {
        ++decks;
        const std::wstring name = GetFileName(source);
        failure_ = name.rfind(L"bad", 0) == 0 ? L"The deck is broken: " + name : L"";
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

    std::atomic<int> decks{0};
    const LaneOffice* other = nullptr;

private:
    std::wstring failure_;
};

TEST(ConvertLanes, TwoOfficesConvertAtOnceAndEverythingIsReportedInInputOrder) {
    vellumet_test::TempFolder folder;
    const std::vector<std::string> names = {"slow.ppt", "one.ppt",  "bad1.ppt",
                                            "two.ppt",  "bad2.ppt", "three.ppt"};
    std::vector<std::string> args = {"-q", "-d", "Amazon Kindle DX", "-o", (folder.Path() / "out").string()};
    for (const std::string& name : names) {
        folder.WriteFile(name, "deck");
        args.push_back((folder.Path() / name).string());
    }
    LaneOffice first;
    LaneOffice second;
    first.other = &second;
    second.other = &first;
    settings::MemoryStore store;
    // Paths and messages into one stream, as on a terminal: a job's messages must wait until the
    // jobs before it are reported.
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
        ASSERT_TRUE(command.Parse(args));
        status = command.Run();
    }
    std::fclose(services.out);
    const std::string said = text == nullptr ? std::string() : std::string(text, size);
    std::free(text);

    EXPECT_EQ(status, 3) << "the first failure's status";
    std::string expected;
    for (const std::string& name : names) {
        const std::string base = name.substr(0, name.size() - 4);
        if (name.rfind("bad", 0) == 0) {
            expected += "Can not convert the file:" + (folder.Path() / name).string() +
                        "\nThe deck is broken: " + name + "\n";
        } else {
            expected += (folder.Path() / "out" / (base + ".pdf")).string() + "\n";
            EXPECT_TRUE(std::filesystem::exists(folder.Path() / "out" / (base + ".pdf"))) << name;
        }
    }
    EXPECT_EQ(said, expected);
    EXPECT_EQ(first.decks + second.decks, 6);
    EXPECT_EQ(std::max(first.decks.load(), second.decks.load()), 5)
        << "one office went on while the other had the slow deck";
}

}  // namespace
}  // namespace vellumet::cli
