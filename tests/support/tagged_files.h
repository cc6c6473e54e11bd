// Copies of the bundled sample and the broadcast wave of tests/streams with
// tags, written by TagLib (or into the bext chunk) for the tag tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class ETagKind {
    Id3v23,  // Latin-1 title, UTF-16 artist, all the fields, a JPEG cover
    Id3v24,  // UTF-8 text
    Id3v1,
    Ape,
};

// A picture that starts as a JPEG does, nBytes long.
std::vector<uint8_t> MakeCover(std::size_t nBytes);
// The sample copied to strPath with tags of kind eKind (and the cover, where
// not empty, in an ID3v2 tag); the title and artist written are those of
// TaggedTitle and TaggedArtist.
void WriteTaggedSample(const std::string& strPath, ETagKind eKind,
                       const std::vector<uint8_t>& cover = {});
std::string TaggedTitle(ETagKind eKind);
std::string TaggedArtist(ETagKind eKind);
// The sample copied to strPath with REPLAYGAIN_TRACK_GAIN strGain in an
// ID3v2 TXXX frame.
void WriteReplayGainSample(const std::string& strPath, const std::string& strGain);
// The broadcast wave of tests/streams with "Morning news" by "Radio Corvina",
// 2024-03-01, in its bext chunk.
void WriteBroadcastWave(const std::string& strPath);
