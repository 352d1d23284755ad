// vellumet-convert: the command-line front end. Everything but the wiring lives in ConvertCommand.

#include <unistd.h>

#include <string>
#include <vector>

#include "cli/ConvertCommand.h"
#include "cli/StopSignals.h"
#include "common/ProcessSetup.h"
#include "frontend/OfficeLoader.h"
#include "imaging/ComposeAhead.h"
#include "imaging/ComposeDocument.h"

int main(int argc, char** argv) {
    using namespace vellumet::cli;
    vellumet::PrepareProcess();
    StopSignals signals;
    const std::vector<std::string> args(argv + 1, argv + argc);

    // Two offices: a run of several inputs converts two at a time. The second starts only when
    // its lane gets a presentation.
    vellumet::OfficeLoader office;
    vellumet::OfficeLoader spareOffice;
    CommandServices services;
    services.exporter = &office;
    services.spareExporter = &spareOffice;
    services.compose = &ComposeDocument;
    services.composer = &MakeComposeAhead;
    services.cancel = &signals.Token();
    services.armCancellation = [&signals] { signals.ArmCancellation(); };
    services.errIsTerminal = ::isatty(STDERR_FILENO) == 1;

    ConvertCommand command(services);
    if (!command.Parse(args)) {
        return kExitUsage;
    }
    const int status = command.Run();
    if (command.WasCancelled() && signals.Received() != 0) {
        return ExitStatusForSignal(signals.Received());
    }
    return status;
}
