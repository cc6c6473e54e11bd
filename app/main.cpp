// corvina's entry point: picks the mode that the command line asks for.
#include <cstdio>
#include <string>

#include "app/command_line.h"
#include "app/run_modes.h"
#include "containers/format_containers.h"
#include "network/network_sources.h"
#include "platform/wave_device.h"
#include "player/control_block.h"
#include "player/playback_control.h"
#include "resources/version.h"
#include "tags/tag_reader.h"

using namespace corvina;

int main(int argc, char** argv) {
    CCommandLine commandLine;
    std::string strError;
    if (!ParseCommandLine(argc, argv, commandLine, strError)) {
        std::fprintf(stderr, "corvina: %s\nTry 'corvina --help' for more information.\n",
                     strError.c_str());
        return EXIT_USAGE;
    }
    RegisterFormatContainers();
    RegisterTagReader();
    SetReplayGainMode(commandLine.eReplayGain);
    RegisterNetworkSources();
    if (!commandLine.strDevice.empty()) {
        SetWaveDeviceName(commandLine.strDevice);
    }
    g_bConcealFrames = commandLine.choices.bConceal ? 1 : 0;
    g_nDualChannel = static_cast<int>(commandLine.choices.eDual);
    switch (commandLine.mode) {
        case ERunMode::Help:
            std::fputs(UsageText().c_str(), stdout);
            return EXIT_DECODED;
        case ERunMode::Version:
            std::printf("corvina %s\n", CORVINA_PROGRAM_VERSION);
            return EXIT_DECODED;
        case ERunMode::Wav:
        case ERunMode::Raw:
            return RunDecodeMode(commandLine);
        case ERunMode::Info:
            return RunInfoMode(commandLine);
        case ERunMode::Play:
            return RunPlayMode(commandLine);
        case ERunMode::Window:
            return RunWindowMode(argc, argv, commandLine);
    }
    return EXIT_USAGE;
}
