#include "cli/CommandLine.h"

#include <algorithm>
#include <cstdio>
#include <new>

#include "common/Version.h"
#include "common/WideText.h"
#include "frontend/DeviceList.h"
#include "frontend/DeviceRules.h"
#include "job/DeviceTable.h"

namespace vellumet::cli {

namespace {

enum class OptionId {
    Device,
    PageSize,
    OutputDir,
    OmitBackground,
    KeepBackground,
    OmitShadow,
    KeepShadow,
    TwoPerPage,
    OnePerPage,
    Palette,
    Dither,
    Outline,
    NoOutline,
    Searchable,
    NoSearchable,
    Notes,
    NoNotes,
    Quiet,
    ListDevices,
    Help,
    Version,
};

struct OptionRule {
    OptionId id;
    char shortName;  // 0 when the option has only a long name
    const char* longName;
    bool takesValue;
};

constexpr OptionRule kOptions[] = {
    {OptionId::Device, 'd', "device", true},
    {OptionId::PageSize, 0, "page-size", true},
    {OptionId::OutputDir, 'o', "output-dir", true},
    {OptionId::OmitBackground, 0, "omit-background", false},
    {OptionId::KeepBackground, 0, "keep-background", false},
    {OptionId::OmitShadow, 0, "omit-shadow", false},
    {OptionId::KeepShadow, 0, "keep-shadow", false},
    {OptionId::TwoPerPage, '2', "two-per-page", false},
    {OptionId::OnePerPage, '1', "one-per-page", false},
    {OptionId::Palette, 0, "palette", true},
    {OptionId::Dither, 0, "dither", true},
    {OptionId::Outline, 0, "outline", false},
    {OptionId::NoOutline, 0, "no-outline", false},
    {OptionId::Searchable, 0, "searchable", false},
    {OptionId::NoSearchable, 0, "no-searchable", false},
    {OptionId::Notes, 0, "notes", false},
    {OptionId::NoNotes, 0, "no-notes", false},
    {OptionId::Quiet, 'q', "quiet", false},
    {OptionId::ListDevices, 0, "list-devices", false},
    {OptionId::Help, 'h', "help", false},
    {OptionId::Version, 0, "version", false},
};

const OptionRule* FindShort(char name) {
    for (const OptionRule& rule : kOptions) {
        if (rule.shortName != 0 && rule.shortName == name) {
            return &rule;
        }
    }
    return nullptr;
}

const OptionRule* FindLong(std::string_view name) {
    for (const OptionRule& rule : kOptions) {
        if (name == rule.longName) {
            return &rule;
        }
    }
    return nullptr;
}

std::string UnknownDeviceError(std::wstring_view name, std::span<const DeviceProfile> devices) {
    std::string error = "unknown device \"" + ToNative(name) + "\"; the devices are:";
    for (const DeviceProfile& device : devices) {
        error += "\n  ";
        error += ToNative(device.name);
    }
    return error;
}

// Applies one option; `value` is its argument when it takes one. Returns an error text or "".
std::string Apply(const OptionRule& rule, const std::string& value, CommandLine& line) {
    switch (rule.id) {
        case OptionId::Device:
            line.device = FromNative(value);
            line.pageSize.reset();
            break;
        case OptionId::PageSize: {
            const std::optional<PixelSize> page = ParsePageSize(FromNative(value));
            if (!page) {
                return "invalid page size '" + value + "': give WIDTHxHEIGHT in pixels, each from 1 to " +
                       std::to_string(kMaxPageSide);
            }
            line.pageSize = page;
            line.device.reset();
            break;
        }
        case OptionId::OutputDir:
            line.outputFolder = FromNative(value);
            break;
        case OptionId::OmitBackground:
            line.omitBackground = true;
            break;
        case OptionId::KeepBackground:
            line.omitBackground = false;
            break;
        case OptionId::OmitShadow:
            line.omitShadow = true;
            break;
        case OptionId::KeepShadow:
            line.omitShadow = false;
            break;
        case OptionId::TwoPerPage:
            line.twoSlidesPerPage = true;
            break;
        case OptionId::OnePerPage:
            line.twoSlidesPerPage = false;
            break;
        case OptionId::Palette: {
            const std::optional<vellumet::Palette> palette = PaletteFromName(FromNative(value));
            if (!palette) {
                return "invalid palette '" + value + "': give rgb, gray or gray16";
            }
            line.palette = palette;
            break;
        }
        case OptionId::Dither: {
            const std::optional<vellumet::Dither> dither = DitherFromName(FromNative(value));
            if (!dither) {
                return "invalid dithering '" + value + "': give ordered or none";
            }
            line.dither = dither;
            break;
        }
        case OptionId::Outline:
        case OptionId::NoOutline:
            line.outline = rule.id == OptionId::Outline;
            break;
        case OptionId::Searchable:
        case OptionId::NoSearchable:
            line.searchable = rule.id == OptionId::Searchable;
            break;
        case OptionId::Notes:
        case OptionId::NoNotes:
            line.notes = rule.id == OptionId::Notes;
            break;
        case OptionId::Quiet:
            line.quiet = true;
            break;
        case OptionId::ListDevices:
            line.action = Action::ListDevices;
            break;
        case OptionId::Help:
            line.action = Action::Help;
            break;
        case OptionId::Version:
            line.action = Action::Version;
            break;
    }
    return {};
}

// The whole parse; may throw std::bad_alloc, which the caller turns into an error.
ParseResult Parse(const std::vector<std::string>& args) {
    ParseResult result;
    CommandLine& line = result.line;
    // Help, version and the device list end the parse at once: what follows them does not matter.
    auto finished = [&line] { return line.action != Action::Convert; };
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size() && !finished(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            line.inputs.push_back(FromNative(arg));
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }

        if (arg[1] == '-') {
            // --name or --name=value
            const size_t equals = arg.find('=');
            const std::string name =
                arg.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
            const OptionRule* rule = FindLong(name);
            if (rule == nullptr) {
                result.error = "unknown option '--" + name + "'";
                return result;
            }
            std::string value;
            if (equals != std::string::npos) {
                if (!rule->takesValue) {
                    result.error = "option '--" + name + "' takes no value";
                    return result;
                }
                value = arg.substr(equals + 1);
            } else if (rule->takesValue) {
                if (i + 1 >= args.size()) {
                    result.error = "option '--" + name + "' needs a value";
                    return result;
                }
                value = args[++i];
            }
            result.error = Apply(*rule, value, line);
            if (!result.error.empty()) {
                return result;
            }
            continue;
        }

        // One or more bundled short options; one that takes a value ends the bundle.
        for (size_t k = 1; k < arg.size() && !finished(); ++k) {
            const OptionRule* rule = FindShort(arg[k]);
            if (rule == nullptr) {
                result.error = std::string("unknown option '-") + arg[k] + "'";
                return result;
            }
            std::string value;
            if (rule->takesValue) {
                if (k + 1 < arg.size()) {
                    value = arg.substr(k + 1);
                } else if (i + 1 < args.size()) {
                    value = args[++i];
                } else {
                    result.error = std::string("option '-") + arg[k] + "' needs a value";
                    return result;
                }
                k = arg.size();
            }
            result.error = Apply(*rule, value, line);
            if (!result.error.empty()) {
                return result;
            }
        }
    }

    if (line.action == Action::Convert && line.inputs.empty()) {
        result.error = "no presentation or picture folder given";
        return result;
    }
    result.ok = true;
    return result;
}

}  // namespace

ParseResult ParseCommandLine(const std::vector<std::string>& args) {
    try {
        return Parse(args);
    } catch (const std::bad_alloc&) {
        ParseResult result;
        result.error = "out of memory";
        return result;
    }
}

bool ResolveDevice(CommandLine& line, std::span<const DeviceProfile> devices, std::string& error) {
    if (!line.device) {
        return true;
    }
    const DeviceProfile* device = FindNamedDevice(devices, *line.device);
    if (device == nullptr) {
        error = UnknownDeviceError(*line.device, devices);
        return false;
    }
    line.device = device->name;
    return true;
}

bool NeedsRemembered(const CommandLine& line) {
    return (!line.device && !line.pageSize) || !line.outputFolder || !line.omitBackground ||
           !line.omitShadow || !line.twoSlidesPerPage;
}

settings::SettingsChoice ApplyRemembered(const CommandLine& line, const settings::SettingsChoice& remembered,
                                         std::span<const DeviceProfile> devices) {
    settings::SettingsChoice choice;
    if (line.pageSize) {
        choice.scheme.clear();
    } else {
        choice.scheme = line.device ? *line.device : DeviceForRemembered(devices, remembered.scheme);
    }
    choice.outputFolder = line.outputFolder.value_or(remembered.outputFolder);
    choice.omitBackground = line.omitBackground.value_or(remembered.omitBackground);
    choice.omitShadow = line.omitShadow.value_or(remembered.omitShadow);
    choice.twoSlidesPerPage = line.twoSlidesPerPage.value_or(remembered.twoSlidesPerPage);
    return choice;
}

PageColours ColoursOfRun(const CommandLine& line, PageColours deviceColours) {
    PageColours colours = deviceColours;
    colours.palette = line.palette.value_or(colours.palette);
    colours.dither = line.dither.value_or(colours.dither);
    return colours;
}

std::string UsageText() {
    return "Usage: vellumet-convert [OPTIONS] INPUT...\n"
           "Turns presentations into PDF files of page pictures for an e-book reader.\n"
           "\n"
           "INPUT is a presentation (.ppt, .pptx, .odp, or anything else LibreOffice Impress opens),\n"
           "written as <base name>.pdf, or a folder of exported slide pictures (*.png, in the order\n"
           "they were written), written as <folder name>.pdf.\n"
           "\n"
           "  -d, --device NAME        a device of --list-devices, your own devices included (default:\n"
           "                           the remembered choice, else \"Amazon Kindle DX\")\n"
           "      --page-size WxH      pages of W x H pixels instead of a device's, each side 1 to 20000\n"
           "  -o, --output-dir DIR     folder for the PDF files (default: the remembered output folder)\n"
           "      --omit-background | --keep-background\n"
           "                           leave out the background graphics of the slide masters\n"
           "      --omit-shadow | --keep-shadow\n"
           "                           switch shadows off on every shape and all text\n"
           "  -2, --two-per-page | -1, --one-per-page\n"
           "                           two slides share a page, or one slide per page\n"
           "      --outline | --no-outline\n"
           "                           a bookmark per slide titled with the slide's title, and page\n"
           "                           numbers that are the slide numbers (default: the device's; off\n"
           "                           for the five first devices and --page-size, on for the others)\n"
           "      --searchable | --no-searchable\n"
           "                           the slides' words as invisible text on the pictures, to search,\n"
           "                           select and copy (default: as for --outline)\n"
           "      --notes | --no-notes\n"
           "                           each slide with its speaker notes below it on an upright page;\n"
           "                           one slide per page (default: the device's, off unless chosen)\n"
           "      --palette rgb|gray|gray16\n"
           "                           store pages as 24-bit colour, 256 grays or 16 grays (default: the\n"
           "                           device's; gray16 for the gray readers of the list, rgb for the five\n"
           "                           first devices and colour screens)\n"
           "      --dither ordered|none\n"
           "                           16 grays with an ordered pattern between levels, or the nearest\n"
           "                           level only (default: the device's, usually ordered)\n"
           "  -q, --quiet              no progress display\n"
           "      --list-devices       print the devices with their page sizes and screens and exit\n"
           "  -h, --help               print this help and exit\n"
           "      --version            print the version and exit\n"
           "\n"
           "Options left out take the choices last made in the Vellumet dialog; this command never\n"
           "changes them. The path of every PDF written goes to standard output.\n"
           "\n"
           "Exit status: 0 every input converted; 1 no usable LibreOffice; 2 usage error; 3 an input\n"
           "could not be converted; 4 the PDF could not be generated; 5 the PDF could not be saved\n"
           "(the first failure counts); 6 standard output could not be written; 130 interrupted;\n"
           "143 terminated.\n";
}

std::string VersionText() {
    return std::string(kProgramName) + " " + kVersion + "\n";
}

std::string DeviceListText(std::span<const DeviceProfile> devices) {
    size_t nameWidth = 0;
    for (const DeviceProfile& device : devices) {
        nameWidth = std::max(nameWidth, device.name.size());
    }
    std::string text;
    for (const DeviceProfile& device : devices) {
        // Padded by characters, so the columns line up for any name.
        std::string line = ToNative(device.name) + std::string(nameWidth - device.name.size() + 2, ' ');
        char size[48];
        std::snprintf(size, sizeof size, "%5d x %-5d  ", static_cast<int>(device.page.width),
                      static_cast<int>(device.page.height));
        line += size;
        line += ToNative(ScreenName(device.screen));
        text += line + "\n";
    }
    return text;
}

}  // namespace vellumet::cli
