#pragma once
// The options of vellumet-convert and their parsing. Parsing touches nothing outside its arguments:
// the remembered settings fill in what the command line leaves open only afterwards
// (ApplyRemembered), so --help and --list-devices never read the settings store.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "job/DeviceTable.h"
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
    std::optional<std::wstring> device;  // a name of kDeviceSchemes, exactly as the table spells it
    std::optional<std::wstring> outputFolder;
    std::optional<bool> omitBackground;
    std::optional<bool> omitShadow;
    std::optional<bool> twoSlidesPerPage;
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

// The table row named `name`: the exact name, else the one name equal to it ignoring ASCII case.
// Null when there is none.
const DeviceScheme* FindDevice(std::wstring_view name);

// The choices one run converts with: the command line's, and for each option it left open, the
// remembered one; a remembered scheme selects a device as it does in the dialog.
settings::SettingsChoice ApplyRemembered(const CommandLine& line, const settings::SettingsChoice& remembered);

// True when some choice still has to come from the remembered settings.
bool NeedsRemembered(const CommandLine& line);

// The --help text, the --version line and the --list-devices table, each ending with a line feed.
std::string UsageText();
std::string VersionText();
std::string DeviceListText();

}  // namespace vellumet::cli
