// A catalogue of hostile files, each with what the player must make of it:
// files that cannot be opened, files with no stream to decode, and damaged or
// odd streams that still decode.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

class CTempDir;

enum class EHostileOutcome {
    Unopenable,  // the file itself cannot be read as a file
    Invalid,     // readable, but "Invalid Audio Stream"
    Decodes,     // decodes to its end
};

struct CHostileFile {
    std::string strName;
    std::string strPath;
    EHostileOutcome eOutcome;
    // Warnings the decoder must give exactly once (besides "Invalid Audio Stream").
    std::vector<std::string> warnings;
    // Decodes: the frames decoded and their samples per channel.
    int nFrames = 0;
    std::size_t nSamplesPerChannel = 0;
    int nChannels = 0;
    // Interleaved samples that --raw writes where the channel count changes
    // on the way; 0 for nSamplesPerChannel times nChannels.
    std::size_t nRawSamples = 0;

    std::size_t RawSamples() const {
        return nRawSamples != 0 ? nRawSamples
                                : nSamplesPerChannel * static_cast<std::size_t>(nChannels);
    }
};

// Writes every file of the catalogue into the folder and describes it.
std::vector<CHostileFile> MakeHostileFiles(const CTempDir& dir);
