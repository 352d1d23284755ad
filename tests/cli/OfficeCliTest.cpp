// vellumet-convert with the installed LibreOffice (ctest label "office").

#include <gtest/gtest.h>

#include <signal.h>

#include <fstream>
#include <future>

#include "CliTestSupport.h"
#include "support/PdfReading.h"

namespace clitest {
namespace {

namespace fs = std::filesystem;

const fs::path kSample = fs::path(VELLUMET_SOURCE_DIR) / "samples" / "sample.odp";

fs::path MakeDeck(const fs::path& file, int slides) {
    const ProcessResult made = RunProcess(
        {"/usr/bin/python3", (fs::path(VELLUMET_SOURCE_DIR) / "samples" / "make-samples.py").string(),
         "--deck", file.string(), std::to_string(slides)});
    EXPECT_EQ(made.exitCode, 0) << made.err;
    return file;
}

// Processes whose command line mentions `text` (the office started for a sandbox names its
// private folder there).
std::vector<std::string> ProcessesMentioning(const std::string& text) {
    std::vector<std::string> found;
    std::error_code ignored;
    for (const fs::directory_entry& entry : fs::directory_iterator("/proc", ignored)) {
        const std::string pid = entry.path().filename().string();
        if (pid.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        std::ifstream in(entry.path() / "cmdline", std::ios::binary);
        std::string cmdline((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (cmdline.find(text) != std::string::npos) {
            found.push_back(pid + ": " + cmdline);
        }
    }
    return found;
}

// True once a slide picture of the job has appeared in the sandbox's temporary folder.
bool ExportUnderWay(const Sandbox& box) {
    std::error_code ignored;
    for (auto it = fs::recursive_directory_iterator(box.Temp(), ignored);
         it != fs::recursive_directory_iterator(); it.increment(ignored)) {
        if (it->path().extension() == ".png" &&
            it->path().parent_path().filename().string().rfind("PPT", 0) == 0) {
            return true;
        }
    }
    return false;
}

TEST(OfficeCliTest, ThePresentationBecomesOnePagePerSlide) {
    Sandbox box;
    const ProcessResult run = box.Run({"-o", "out", kSample.string()});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const fs::path pdf = box.Root() / "out" / "sample.pdf";
    EXPECT_EQ(run.out, pdf.string() + "\n");
    EXPECT_EQ(run.err, "");
    ExpectSoundPdf(pdf, 3, 784, 1150);
    EXPECT_TRUE(box.TempLeftovers().empty());
}

TEST(OfficeCliTest, UnderADecimalCommaLocaleTwoSlidesShareAPage) {
    Sandbox box;
    ProcessOptions german;
    german.environment["LC_ALL"] = "de_DE.UTF-8";
    german.environment["LANG"] = "de_DE.UTF-8";
    const ProcessResult run =
        box.Run({"-2", "-d", "Medium (900*1200)", "-o", "aus", kSample.string()}, german);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    ExpectSoundPdf(box.Root() / "aus" / "sample.pdf", 2, 900, 1200);
    EXPECT_TRUE(box.TempLeftovers().empty());
}

TEST(OfficeCliTest, ALongDeckKeepsItsTitlesAndWordsAcrossTheOfficesPdfParts) {
    // The office writes a deck of this length as several PDF parts.
    const fs::path deck = fs::path(VELLUMET_CORPUS_DIR) / "41246-1.ppt";
    if (!fs::exists(deck)) {
        GTEST_SKIP() << "the presentation corpus is not there";
    }
    Sandbox box;
    const ProcessResult run =
        box.Run({"-d", "Kobo Libra 2", "--outline", "--searchable", "-o", "out", deck.string()});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const fs::path pdf = box.Root() / "out" / "41246-1.pdf";
    ExpectSoundPdf(pdf, 36, 1264, 1680);
    const std::vector<vellumet_test::PdfOutlineEntry> outline = vellumet_test::PdfOutline(pdf);
    ASSERT_EQ(outline.size(), 36u);
    EXPECT_EQ(outline[2].title, "Motivation");
    EXPECT_EQ(outline[29].title, "JBoss Profiler Getting Deep");
    EXPECT_EQ(outline[35].title, "Resources");
    EXPECT_EQ(outline[35].page, 36);
    int onLastPage = 0;
    for (const vellumet_test::PdfWord& word : vellumet_test::PdfWords(pdf)) {
        onLastPage += word.page == 35 && word.text == "Resources" ? 1 : 0;
    }
    EXPECT_GE(onLastPage, 1);
    EXPECT_TRUE(box.TempLeftovers().empty());
}

TEST(OfficeCliTest, UnreadableInputsFailWithTheirPathAndReasonAndTheBatchGoesOn) {
    Sandbox box;
    std::ofstream(box.Root() / "notes.ppt") << "this is plain text, not a presentation";
    std::ofstream(box.Root() / "empty.pptx");
    const ProcessResult run =
        box.Run({"-o", "out", "missing.odp", "notes.ppt", kSample.string(), "empty.pptx"});
    EXPECT_EQ(run.exitCode, 3);
    const fs::path out = box.Root() / "out";
    EXPECT_EQ(run.out, (out / "sample.pdf").string() + "\n");
    // The specified line, then the office's reason on a line of its own.
    const std::string missing = (box.Root() / "missing.odp").string();
    const std::string notes = (box.Root() / "notes.ppt").string();
    const std::string empty = (box.Root() / "empty.pptx").string();
    EXPECT_EQ(run.err,
              "Can not convert the file:" + missing + "\nThe presentation cannot be found: " + missing +
                  "\nCan not convert the file:" + notes + "\nThe presentation cannot be opened: " + notes +
                  " (its format is not known)\nCan not convert the file:" + empty +
                  "\nThe presentation is empty: " + empty + "\n");
    ExpectSoundPdf(out / "sample.pdf", 3, 784, 1150);
    EXPECT_FALSE(fs::exists(out / "notes.pdf"));
    EXPECT_TRUE(box.TempLeftovers().empty());
}

// One office serves the whole batch; killed while it works on the second deck, it is replaced, that
// deck is tried once more and the batch goes on.
TEST(OfficeCliTest, AnOfficeKilledInTheMiddleOfABatchIsReplacedAndTheBatchConverts) {
    Sandbox box;
    MakeDeck(box.Root() / "one.odp", 3);
    MakeDeck(box.Root() / "two.odp", 30);
    MakeDeck(box.Root() / "three.odp", 3);
    bool killed = false;
    ProcessOptions killer;
    killer.signalWhen = [&](const std::string& out, const std::string&) {
        if (!killed && out.find("one.pdf") != std::string::npos && ExportUnderWay(box)) {
            for (const std::string& office : ProcessesMentioning(box.Root().string())) {
                if (office.find("soffice.bin") != std::string::npos) {
                    killed = ::kill(std::stoi(office), SIGKILL) == 0 || killed;
                }
            }
        }
        return 0;
    };
    const ProcessResult run = box.Run({"-o", "out", "one.odp", "two.odp", "three.odp"}, killer);
    EXPECT_TRUE(killed);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    ExpectSoundPdf(box.Root() / "out" / "one.pdf", 3, 784, 1150);
    ExpectSoundPdf(box.Root() / "out" / "two.pdf", 30, 784, 1150);
    ExpectSoundPdf(box.Root() / "out" / "three.pdf", 3, 784, 1150);
    EXPECT_TRUE(box.TempLeftovers().empty());
    EXPECT_TRUE(ProcessesMentioning(box.Root().string()).empty());
}

TEST(OfficeCliTest, TwoRunsStartedTogetherKeepTheirPicturesApart) {
    Sandbox box;
    MakeDeck(box.Root() / "eight.odp", 8);
    MakeDeck(box.Root() / "five.odp", 5);
    // Same temporary folder, same second: each run must use pictures of its own deck only.
    auto first = std::async(std::launch::async, [&box] { return box.Run({"-o", "a", "eight.odp"}); });
    auto second = std::async(std::launch::async, [&box] { return box.Run({"-o", "b", "five.odp"}); });
    const ProcessResult one = first.get();
    const ProcessResult two = second.get();
    ASSERT_EQ(one.exitCode, 0) << one.err;
    ASSERT_EQ(two.exitCode, 0) << two.err;
    ExpectSoundPdf(box.Root() / "a" / "eight.pdf", 8, 784, 1150);
    ExpectSoundPdf(box.Root() / "b" / "five.pdf", 5, 784, 1150);
    EXPECT_TRUE(box.TempLeftovers().empty());
}

TEST(OfficeCliTest, CtrlCDuringTheExportEndsTheOfficeAndLeavesNothing) {
    Sandbox box;
    MakeDeck(box.Root() / "long.odp", 40);
    ProcessOptions interrupt;
    interrupt.signalWhen = [&box](const std::string&, const std::string&) {
        return ExportUnderWay(box) ? SIGINT : 0;
    };
    const ProcessResult run = box.Run({"-o", "out", "long.odp"}, interrupt);
    EXPECT_EQ(run.exitCode, 130) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "");
    EXPECT_FALSE(fs::exists(box.Root() / "out" / "long.pdf"));
    EXPECT_TRUE(box.TempLeftovers().empty());
    EXPECT_TRUE(ProcessesMentioning(box.Root().string()).empty());
}

}  // namespace
}  // namespace clitest
