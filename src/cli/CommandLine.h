#pragma once
// The options of vellumet-convert and their parsing. Parsing touches nothing outside its arguments:
// device names are resolved against the device list (with the user's devices) and the remembered
// settings fill in what the command line leaves open only afterwards (ResolveDevice,
// ApplyRemembered), so --help and --version never read the settings store.

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/PageColours.h"
#include "common/PixelSize.h"
#include "frontend/DeviceProfile.h"
#include "settings/SettingsTable.h"

namespace vellumet::cli {

inline constexpr char kProgramName[] = "vellumet-convert";

enum class Action {
    Convert,
    Help,
    Version,
    ListDevices,
};

// What the command line asked for. An option that was not given stays empty.
struct CommandLine {
    Action action = Action::Convert;
    // At most one of device (as given) and pageSize (within 1..kMaxPageSide a side): the later counts.
    std::optional<std::wstring> device;
    std::optional<PixelSize> pageSize;
    std::optional<std::wstring> outputFolder;
    std::optional<bool> omitBackground;
    std::optional<bool> omitShadow;
    std::optional<bool> twoSlidesPerPage;
    // Replace the chosen device's outline and text layer choices for this run.
    std::optional<bool> outline;
    std::optional<bool> searchable;
    // Replace the chosen device's notes pages choice for this run.
    std::optional<bool> notes;
    // Replace the chosen device's page colours for this run.
    std::optional<Palette> palette;
    std::optional<Dither> dither;
    bool quiet = false;
    std::vector<std::wstring> inputs;  // in the order given
};

struct ParseResult {
    bool ok = false;
    CommandLine line;
    std::string error;  // one line of UTF-8 text when !ok
};

// Parses the arguments after the program name (bytes as the system passed them). Short options may
// be bundled (-2q) and take their value attached or as the next argument (-oDIR, -o DIR); long
// options take it after "=" or as the next argument. "--" ends the options. Of two contradicting
// switches the later one counts. --help, --version and --list-devices win over the inputs; a
// conversion without any input is an error.
ParseResult ParseCommandLine(const std::vector<std::string>& args);

// Replaces line.device by the name of the device it names in `devices` (FindNamedDevice). False,
// with the usage error in `error`, when it names none.
bool ResolveDevice(CommandLine& line, std::span<const DeviceProfile> devices, std::string& error);

// The choices one run converts with: the command line's (its device resolved), and for each option
// it left open, the remembered one; a remembered scheme selects a device of `devices` as it does in
// the dialog. With a page size given, the scheme is empty.
settings::SettingsChoice ApplyRemembered(const CommandLine& line, const settings::SettingsChoice& remembered,
                                         std::span<const DeviceProfile> devices);

// The page colours of one run: the chosen device's (`deviceColours`), with --palette and --dither
// replacing its palette and its dithering.
PageColours ColoursOfRun(const CommandLine& line, PageColours deviceColours);

// True when some choice still has to come from the remembered settings.
bool NeedsRemembered(const CommandLine& line);

// The --help text, the --version line and the --list-devices table of `devices`, each ending with a
// line feed. A table line is the name, at least two spaces, "W x H", at least two spaces, the
// screen ("gray16" or "colour"); names never hold two spaces in a row.
std::string UsageText();
std::string VersionText();
std::string DeviceListText(std::span<const DeviceProfile> devices);

}  // namespace vellumet::cli
