// vellumet-convert as a user runs it, without the office: help, usage errors, Convert's refusals,
// picture folders, failure statuses, batches, remembered defaults, locale, signals, progress.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <QImage>
#include <QString>
#include <chrono>
#include <fstream>
#include <iterator>
#include <sstream>

#include "CliTestSupport.h"
#include "settings/SettingsTable.h"
#include "settings/SqliteStore.h"

namespace clitest {
namespace {

namespace fs = std::filesystem;

// The grey level at the centre of `page` (1-based) of a PDF rendered at one pixel per unit, or -1.
int PageCentreGrey(const fs::path& pdf, int page, const fs::path& scratch) {
    const fs::path prefix = scratch / "render";
    const std::string number = std::to_string(page);
    const ProcessResult render = RunProcess({"/usr/bin/pdftoppm", "-r", "72", "-gray", "-singlefile", "-f",
                                             number, "-l", number, pdf.string(), prefix.string()});
    QImage image;
    if (render.exitCode != 0 || !image.load(QString::fromStdString(prefix.string() + ".pgm"))) {
        return -1;
    }
    return qGray(image.pixel(image.width() / 2, image.height() / 2));
}

TEST(ConvertCliTest, HelpVersionAndDeviceListGoToStdoutAndTouchNothing) {
    Sandbox box;
    const ProcessResult help = box.Run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("Usage: vellumet-convert [OPTIONS] INPUT..."), std::string::npos);
    EXPECT_NE(help.out.find("--list-devices"), std::string::npos);
    EXPECT_EQ(help.err, "");

    const ProcessResult version = box.Run({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out.rfind("vellumet-convert ", 0), 0u);

    const ProcessResult devices = box.Run({"--list-devices"});
    EXPECT_EQ(devices.exitCode, 0);
    EXPECT_EQ(devices.out.rfind("Amazon Kindle DX  ", 0), 0u);
    EXPECT_NE(devices.out.find("  784 x 1150   gray16\n"), std::string::npos);
    EXPECT_NE(devices.out.find("\nLarge (1200*1600)  "), std::string::npos);
    EXPECT_EQ(devices.err, "");

    EXPECT_FALSE(fs::exists(box.StoreFile()));
    EXPECT_TRUE(box.TempLeftovers().empty());
}

TEST(ConvertCliTest, UsageErrorsExitWithTwoAndWriteNothing) {
    Sandbox box;
    WriteSlidePictures(box.Root() / "pics", 2, 1045, 784);
    const fs::path out = box.Root() / "out";

    const ProcessResult none = box.Run({"-o", out.string()});
    EXPECT_EQ(none.exitCode, 2);
    EXPECT_EQ(none.err,
              "vellumet-convert: no presentation or picture folder given\n"
              "Try 'vellumet-convert --help' for more information.\n");
    EXPECT_EQ(none.out, "");

    const ProcessResult bogus = box.Run({"--two", "pics"});
    EXPECT_EQ(bogus.exitCode, 2);
    EXPECT_NE(bogus.err.find("unknown option '--two'"), std::string::npos);

    // An unknown device is refused with the list, never converted at the 600 x 800 fallback.
    const ProcessResult device = box.Run({"-d", "Kindle DX", "-o", out.string(), "pics"});
    EXPECT_EQ(device.exitCode, 2);
    EXPECT_NE(
        device.err.find("unknown device \"Kindle DX\"; the devices are:\n  Amazon Kindle DX\n"
                        "  Amazon Kindle 2\n  Small (600*800)\n  Medium (900*1200)\n  Large (1200*1600)\n"
                        "  Kindle Basic (2022, 2024)\n"),
        std::string::npos);

    EXPECT_FALSE(fs::exists(out));

    // Two inputs that would write one PDF: refused before either is converted.
    WriteSlidePictures(box.Root() / "b" / "pics", 1, 1045, 784);
    const ProcessResult clash = box.Run({"-o", out.string(), "pics", "b/pics"});
    EXPECT_EQ(clash.exitCode, 2);
    EXPECT_NE(clash.err.find("would both be written to"), std::string::npos);
    EXPECT_FALSE(fs::exists(out / "pics.pdf"));
}

TEST(ConvertCliTest, ConvertsRefusalsComeInTheDialogsOrderWithItsTexts) {
    Sandbox box;
    WriteSlidePictures(box.Root() / "pics", 1, 1045, 784);

    const ProcessResult noSource = box.Run({"-o", "", ""});
    EXPECT_EQ(noSource.exitCode, 2);
    EXPECT_EQ(noSource.err, "Please specify the source file\n");

    const ProcessResult noOutput = box.Run({"-o", "", "pics"});
    EXPECT_EQ(noOutput.exitCode, 2);
    EXPECT_EQ(noOutput.err, "Please specify output directory\n");

    const ProcessResult noParent = box.Run({"-o", "missing/out", "pics"});
    EXPECT_EQ(noParent.exitCode, 2);
    EXPECT_EQ(noParent.err, "Can not create output directory\n");
    EXPECT_FALSE(fs::exists(box.Root() / "missing"));
}

TEST(ConvertCliTest, APictureFolderIsComposedInWritingOrderAndNamedAfterTheFolder) {
    Sandbox box;
    WriteSlidePictures(box.Root() / "Präsentation", 5, 1045, 784);

    // The output folder is created, one level; a relative one is taken from the working folder.
    const ProcessResult run = box.Run({"-o", "out", "Präsentation/"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const fs::path pdf = box.Root() / "out" / "Präsentation.pdf";
    EXPECT_EQ(run.out, pdf.string() + "\n");
    EXPECT_EQ(run.err, "");
    ExpectSoundPdf(pdf, 5, 784, 1150);

    // Grey levels rise with the writing order, while the names fall.
    const int first = PageCentreGrey(pdf, 1, box.Root());
    const int last = PageCentreGrey(pdf, 5, box.Root());
    EXPECT_NEAR(first, 40, 2);
    EXPECT_NEAR(last, 200, 2);

    // The user's pictures stay; nothing is left in the temporary folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(box.Root() / "Präsentation"), fs::directory_iterator()),
              5);
    EXPECT_TRUE(box.TempLeftovers().empty());
}

TEST(ConvertCliTest, DeviceAndTwoPerPageShapeThePages) {
    Sandbox box;
    WriteSlidePictures(box.Root() / "pics", 5, 800, 600);
    const ProcessResult run = box.Run({"-2", "-d", "small (600*800)", "-o", "out", "pics"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    ExpectSoundPdf(box.Root() / "out" / "pics.pdf", 3, 600, 800);
}

TEST(ConvertCliTest, NotesPagesAreOnePerPageUntilNoNotesTakesThemBack) {
    Sandbox box;
    WriteSlidePictures(box.Root() / "pics", 5, 600, 800);
    const ProcessResult notes = box.Run({"-2", "--notes", "-d", "small (600*800)", "-o", "notes", "pics"});
    ASSERT_EQ(notes.exitCode, 0) << notes.err;
    ExpectSoundPdf(box.Root() / "notes" / "pics.pdf", 5, 600, 800);
    const ProcessResult back =
        box.Run({"-2", "--notes", "--no-notes", "-d", "small (600*800)", "-o", "slides", "pics"});
    ASSERT_EQ(back.exitCode, 0) << back.err;
    ExpectSoundPdf(box.Root() / "slides" / "pics.pdf", 3, 600, 800);
}

TEST(ConvertCliTest, PicturesLeftOutAreNamedOnStderrAndTheRestIsConverted) {
    Sandbox box;
    WriteSlidePictures(box.Root() / "pics", 2, 1045, 784);
    std::ofstream(box.Root() / "pics" / "damaged.png") << "\x89PNG\r\n\x1a\ntruncated";
    ASSERT_TRUE(QImage(1, 8000, QImage::Format_RGB32)
                    .save(QString::fromStdString((box.Root() / "pics" / "strip.png").string())));
    const ProcessResult run = box.Run({"-o", "out", "pics"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string folder = (box.Root() / "pics").string();
    EXPECT_NE(run.err.find("The picture \"" + folder + "/damaged.png\" was left out: the picture is damaged"),
              std::string::npos)
        << run.err;
    EXPECT_NE(
        run.err.find("The picture \"" + folder + "/strip.png\" was left out: the picture is too narrow"),
        std::string::npos)
        << run.err;
    ExpectSoundPdf(box.Root() / "out" / "pics.pdf", 2, 784, 1150);
}

TEST(ConvertCliTest, PaletteGivesGrayImagesAndTheTableDevicesStayRgb) {
    Sandbox box;
    WriteSlidePictures(box.Root() / "pics", 2, 1045, 784);
    struct Case {
        std::vector<std::string> options;
        const char* colour;
        const char* bits;
        int width = 784;
        int height = 1150;
    };
    for (const Case& c : {Case{{}, "rgb", "8"}, Case{{"--palette", "gray16"}, "gray", "4"},
                          Case{{"--palette", "gray", "--dither", "none"}, "gray", "8"},
                          Case{{"-d", "Kobo Clara BW"}, "gray", "4", 1072, 1448},
                          Case{{"-d", "Kobo Clara Colour"}, "rgb", "8", 1072, 1448}}) {
        std::vector<std::string> args = c.options;
        for (const char* arg : {"-o", "out", "pics"}) {
            args.push_back(arg);
        }
        const ProcessResult run = box.Run(args);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const fs::path pdf = box.Root() / "out" / "pics.pdf";
        ExpectSoundPdf(pdf, 2, c.width, c.height);
        const vellumet_test::ProcessResult images =
            vellumet_test::RunShell("pdfimages -list '" + pdf.string() + "'");
        ASSERT_EQ(images.exitCode, 0);
        // page num type width height color comp bpc ...
        std::istringstream lines(images.out);
        std::string line;
        std::getline(lines, line);
        std::getline(lines, line);
        int rows = 0;
        while (std::getline(lines, line)) {
            std::istringstream fields(line);
            std::string page, num, type, width, height, colour, comp, bits;
            fields >> page >> num >> type >> width >> height >> colour >> comp >> bits;
            EXPECT_EQ(colour, c.colour) << line;
            EXPECT_EQ(bits, c.bits) << line;
            ++rows;
        }
        EXPECT_EQ(rows, 2);
    }
}

TEST(ConvertCliTest, EachFailureHasItsStatusAndMessageAndLeavesNoPdf) {
    Sandbox box;
    const fs::path out = box.Root() / "out";

    // 3: no picture to convert.
    fs::create_directories(box.Root() / "empty");
    const ProcessResult empty = box.Run({"-o", out.string(), "empty"});
    EXPECT_EQ(empty.exitCode, 3);
    EXPECT_EQ(empty.err, "Can not convert the file:" + (box.Root() / "empty").string() + "\n");
    EXPECT_FALSE(fs::exists(out / "empty.pdf"));

    // 4: pictures that cannot be decoded give no page; each is named before the message.
    fs::create_directories(box.Root() / "broken");
    std::ofstream(box.Root() / "broken" / "1.png") << "not a picture";
    const ProcessResult broken = box.Run({"-o", out.string(), "broken"});
    EXPECT_EQ(broken.exitCode, 4);
    EXPECT_EQ(broken.err, "The picture \"" + (box.Root() / "broken" / "1.png").string() +
                              "\" was left out: the picture is damaged, incomplete or of a kind that cannot "
                              "be read.\nCan not generate PDF\n");
    EXPECT_FALSE(fs::exists(out / "broken.pdf"));

    // 5: the PDF's name is taken by a folder.
    WriteSlidePictures(box.Root() / "pics", 1, 1045, 784);
    fs::create_directories(out / "pics.pdf");
    const ProcessResult blocked = box.Run({"-o", out.string(), "pics"});
    EXPECT_EQ(blocked.exitCode, 5);
    EXPECT_EQ(blocked.err, "Can not save PDF to a file: " + (out / "pics.pdf").string() + "\n");
    EXPECT_TRUE(fs::is_directory(out / "pics.pdf"));

    // 1: no usable office suite, for a presentation.
    std::ofstream(box.Root() / "deck.odp") << "x";
    fs::create_directories(box.Root() / "no-office");
    ProcessOptions noOffice;
    noOffice.environment["VELLUMET_OFFICE_PROGRAM"] = (box.Root() / "no-office").string();
    const ProcessResult office = box.Run({"-o", out.string(), "deck.odp"}, noOffice);
    EXPECT_EQ(office.exitCode, 1);
    // The refusal, then what is wrong with the office on a line of its own.
    EXPECT_EQ(office.err,
              "LibreOffice current version is lower, please install LibreOffice 7.4 or later\n"
              "There is no runnable soffice.bin in " +
                  (box.Root() / "no-office").string() + ".\n");
    EXPECT_FALSE(fs::exists(out / "deck.pdf"));

    EXPECT_EQ(empty.out + broken.out + blocked.out + office.out, "");
    EXPECT_TRUE(box.TempLeftovers().empty());
}

TEST(ConvertCliTest, AnOutputFolderThatCannotTakeThePdfFailsBeforeAnyConversion) {
    Sandbox box;
    std::ofstream(box.Root() / "deck.odp") << "never opened";
    std::ofstream(box.Root() / "taken") << "a file where the folder should be";
    ProcessOptions slowOffice;
    slowOffice.timeout = std::chrono::seconds(20);
    const ProcessResult run = box.Run({"-o", "taken", "deck.odp"}, slowOffice);
    EXPECT_EQ(run.exitCode, 5);
    EXPECT_EQ(run.err, "Can not save PDF to a file: " + (box.Root() / "taken" / "deck.pdf").string() +
                           "\nThe output folder is not a folder: " + (box.Root() / "taken").string() + "/\n");
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(box.TempLeftovers().empty()) << "nothing was exported";
}

TEST(ConvertCliTest, StandardOutputThatCannotBeWrittenFailsTheRun) {
    Sandbox box;
    WriteSlidePictures(box.Root() / "pics", 1, 1045, 784);
    // The shell sends the program's standard output to a full device, or closes it.
    for (const char* redirect : {">/dev/full", ">&-"}) {
        SCOPED_TRACE(redirect);
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{"--version"}, std::vector<std::string>{"-o", "out", "pics"}}) {
            std::vector<std::string> shell = {"/bin/sh", "-c", std::string("exec \"$0\" \"$@\" ") + redirect,
                                              ConvertProgram()};
            shell.insert(shell.end(), args.begin(), args.end());
            ProcessOptions options;
            options.environment["XDG_CONFIG_HOME"] = box.Config().string();
            options.environment["TMPDIR"] = box.Temp().string();
            options.workingDirectory = box.Root().string();
            const ProcessResult run = RunProcess(shell, options);
            EXPECT_EQ(run.exitCode, 6) << args.front();
            EXPECT_NE(run.err.find("cannot write to standard output"), std::string::npos) << run.err;
        }
    }
    // The PDF itself was written; only the list of paths was lost.
    ExpectSoundPdf(box.Root() / "out" / "pics.pdf", 1, 784, 1150);
}

TEST(ConvertCliTest, ASettingsStoreThatCannotBeReadIsSaidAndNeverWaitedFor) {
    Sandbox box;
    WriteSlidePictures(box.Root() / "pics", 1, 1045, 784);
    fs::create_directories(box.StoreFile().parent_path());
    ASSERT_EQ(::mkfifo(box.StoreFile().c_str(), 0600), 0);
    ProcessOptions quick;
    quick.timeout = std::chrono::seconds(20);

    const ProcessResult needsStore = box.Run({"pics"}, quick);
    EXPECT_FALSE(needsStore.timedOut);
    EXPECT_EQ(needsStore.exitCode, 2);
    EXPECT_NE(needsStore.err.find("remembered choices cannot be read"), std::string::npos) << needsStore.err;
    EXPECT_FALSE(fs::exists(box.Root() / "pics.pdf"));

    // Everything given on the command line: the store is not needed.
    const ProcessResult complete = box.Run(
        {"-d", "Amazon Kindle DX", "-o", "out", "--omit-background", "--omit-shadow", "-1", "pics"}, quick);
    EXPECT_EQ(complete.exitCode, 0) << complete.err;
    ExpectSoundPdf(box.Root() / "out" / "pics.pdf", 1, 784, 1150);
}

TEST(ConvertCliTest, ABatchGoesOnPastABadInputAndReportsTheFirstFailure) {
    Sandbox box;
    WriteSlidePictures(box.Root() / "one", 2, 1045, 784);
    fs::create_directories(box.Root() / "hollow");
    WriteSlidePictures(box.Root() / "two", 3, 1045, 784);
    fs::create_directories(box.Root() / "no-office");
    std::ofstream(box.Root() / "deck.pptx") << "x";
    ProcessOptions noOffice;
    noOffice.environment["VELLUMET_OFFICE_PROGRAM"] = (box.Root() / "no-office").string();

    const ProcessResult run = box.Run({"-o", "out", "one", "hollow", "deck.pptx", "two"}, noOffice);
    EXPECT_EQ(run.exitCode, 3);
    const fs::path out = box.Root() / "out";
    EXPECT_EQ(run.out, (out / "one.pdf").string() + "\n" + (out / "two.pdf").string() + "\n");
    EXPECT_EQ(run.err, "Can not convert the file:" + (box.Root() / "hollow").string() +
                           "\nLibreOffice current version is lower, please install LibreOffice 7.4 or later\n"
                           "There is no runnable soffice.bin in " +
                           (box.Root() / "no-office").string() + ".\n");
    ExpectSoundPdf(out / "one.pdf", 2, 784, 1150);
    ExpectSoundPdf(out / "two.pdf", 3, 784, 1150);
    EXPECT_FALSE(fs::exists(out / "hollow.pdf"));
    EXPECT_FALSE(fs::exists(out / "deck.pdf"));
}

TEST(ConvertCliTest, RememberedChoicesAreTheDefaultsAndAreNeverChanged) {
    Sandbox box;
    settings::SettingsChoice choice;
    choice.outputFolder = (box.Root() / "Remembered").wstring() + L"/";
    choice.scheme = L"Small (600*800)";
    choice.omitBackground = false;
    choice.twoSlidesPerPage = true;
    {
        settings::SqliteStore store(box.StoreFile());
        settings::WriteSettings(choice, &store);
    }
    const std::string storeBefore = ReadFile(box.StoreFile());
    ASSERT_FALSE(storeBefore.empty());
    WriteSlidePictures(box.Root() / "pics", 5, 800, 600);

    const ProcessResult remembered = box.Run({"pics"});
    ASSERT_EQ(remembered.exitCode, 0) << remembered.err;
    const fs::path pdf = box.Root() / "Remembered" / "pics.pdf";
    EXPECT_EQ(remembered.out, pdf.string() + "\n");
    ExpectSoundPdf(pdf, 3, 600, 800);

    // The command line wins over what is remembered, and changes none of it.
    const ProcessResult given = box.Run({"-1", "-d", "Amazon Kindle 2", "-o", "given", "pics"});
    ASSERT_EQ(given.exitCode, 0) << given.err;
    ExpectSoundPdf(box.Root() / "given" / "pics.pdf", 5, 560, 750);
    EXPECT_EQ(ReadFile(box.StoreFile()), storeBefore);
}

TEST(ConvertCliTest, WithNothingRememberedTheDefaultsApplyAndNoStoreIsCreated) {
    Sandbox box;
    WriteSlidePictures(box.Root() / "pics", 1, 1045, 784);
    // No documents folder in the sandbox's home: the home folder stands in for it.
    const ProcessResult run = box.Run({"pics"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const fs::path pdf = box.Root() / "eBooks" / "pics.pdf";
    EXPECT_EQ(run.out, pdf.string() + "\n");
    ExpectSoundPdf(pdf, 1, 784, 1150);
    EXPECT_FALSE(fs::exists(box.StoreFile()));
}

TEST(ConvertCliTest, ADecimalCommaLocaleChangesNothingInThePdf) {
    Sandbox box;
    WriteSlidePictures(box.Root() / "pics", 3, 1045, 784);
    ProcessOptions german;
    german.environment["LC_ALL"] = "de_DE.UTF-8";
    const ProcessResult comma = box.Run({"-d", "Amazon Kindle 2", "-o", "de", "pics"}, german);
    ASSERT_EQ(comma.exitCode, 0) << comma.err;
    const ProcessResult plain = box.Run({"-d", "Amazon Kindle 2", "-o", "c", "pics"});
    ASSERT_EQ(plain.exitCode, 0) << plain.err;

    const fs::path pdf = box.Root() / "de" / "pics.pdf";
    ExpectSoundPdf(pdf, 3, 560, 750);
    ExpectSoundPdf(box.Root() / "c" / "pics.pdf", 3, 560, 750);
    // The renderer reads the drawing operators back: a comma in a number would misplace the picture.
    EXPECT_NEAR(PageCentreGrey(pdf, 1, box.Root()), 40, 2);
    EXPECT_NEAR(PageCentreGrey(pdf, 3, box.Root()), 200, 2);
    // Same pictures, same pages: only the creation dates may differ.
    EXPECT_EQ(fs::file_size(pdf), fs::file_size(box.Root() / "c" / "pics.pdf"));
}

TEST(ConvertCliTest, SigtermDuringCompositionStopsCleanly) {
    Sandbox box;
    // Large pictures, so that composition takes seconds.
    const fs::path first = WriteSlidePictures(box.Root() / "big", 1, 2400, 1800).front();
    CopyPictures(first, box.Root() / "big", 12);
    const auto start = std::chrono::steady_clock::now();
    ProcessOptions stop;
    stop.signalWhen = [start](const std::string&, const std::string&) {
        return std::chrono::steady_clock::now() - start > std::chrono::milliseconds(400) ? SIGTERM : 0;
    };
    const ProcessResult run = box.Run({"-o", "out", "big"}, stop);
    EXPECT_EQ(run.exitCode, 143) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_FALSE(fs::exists(box.Root() / "out" / "big.pdf"));
    // No temporary file of the PDF writer either.
    EXPECT_EQ(std::distance(fs::directory_iterator(box.Root() / "out"), fs::directory_iterator()), 0);
    EXPECT_TRUE(box.TempLeftovers().empty());
}

TEST(ConvertCliTest, TheProgressBarIsDrawnOnlyOnATerminalAndNotWhenQuiet) {
    Sandbox box;
    WriteSlidePictures(box.Root() / "pics", 2, 1045, 784);
    ProcessOptions terminal;
    terminal.errIsTerminal = true;

    const ProcessResult shown = box.Run({"-o", "a", "pics"}, terminal);
    ASSERT_EQ(shown.exitCode, 0) << shown.err;
    EXPECT_NE(shown.err.find("\rpics ["), std::string::npos);
    // The bar is wiped before the process ends.
    EXPECT_EQ(WithoutProgress(shown.err), "");
    EXPECT_EQ(shown.err.substr(shown.err.size() - 4), "\r\x1b[K");

    const ProcessResult quiet = box.Run({"-q", "-o", "b", "pics"}, terminal);
    ASSERT_EQ(quiet.exitCode, 0);
    EXPECT_EQ(quiet.err, "");

    const ProcessResult piped = box.Run({"-o", "c", "pics"});
    ASSERT_EQ(piped.exitCode, 0);
    EXPECT_EQ(piped.err, "");

    for (const char* folder : {"a", "b", "c"}) {
        ExpectSoundPdf(box.Root() / folder / "pics.pdf", 2, 784, 1150);
    }
}

TEST(ConvertCliTest, NeverLinksQtWidgetsNorTheOffice) {
    const ProcessResult ldd = RunProcess({"/usr/bin/ldd", ConvertProgram()});
    ASSERT_EQ(ldd.exitCode, 0);
    EXPECT_EQ(ldd.out.find("Widgets"), std::string::npos) << ldd.out;
    // The office's libraries come with the office module, loaded only for a presentation.
    EXPECT_EQ(ldd.out.find("uno"), std::string::npos) << ldd.out;
    EXPECT_EQ(ldd.out.find("libreoffice"), std::string::npos) << ldd.out;
}

TEST(ConvertCliTest, WithoutTheOfficeLayerEverythingElseWorksAndPresentationsAreRefused) {
    Sandbox box;
    WriteSlidePictures(box.Root() / "pics", 2, 1045, 784);
    std::ofstream(box.Root() / "deck.odp") << "never opened";
    std::ofstream(box.Root() / "broken-module.so") << "not a shared object";
    for (const fs::path& module : {box.Root() / "missing-module.so", box.Root() / "broken-module.so"}) {
        SCOPED_TRACE(module);
        ProcessOptions noModule;
        noModule.environment["VELLUMET_OFFICE_MODULE"] = module.string();
        EXPECT_EQ(box.Run({"--help"}, noModule).exitCode, 0);
        EXPECT_EQ(box.Run({"--list-devices"}, noModule).exitCode, 0);
        const ProcessResult pictures = box.Run({"-o", "out", "pics"}, noModule);
        EXPECT_EQ(pictures.exitCode, 0) << pictures.err;
        ExpectSoundPdf(box.Root() / "out" / "pics.pdf", 2, 784, 1150);

        const ProcessResult deck = box.Run({"-o", "out", "deck.odp"}, noModule);
        EXPECT_EQ(deck.exitCode, 1);
        EXPECT_EQ(
            deck.err.rfind("LibreOffice current version is lower, please install LibreOffice 7.4 or later\n"
                           "The office layer cannot be loaded: ",
                           0),
            0u)
            << deck.err;
        EXPECT_NE(deck.err.find(module.string()), std::string::npos) << deck.err;
    }
    EXPECT_TRUE(box.TempLeftovers().empty());
}

}  // namespace
}  // namespace clitest
