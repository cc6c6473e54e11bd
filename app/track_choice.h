// The track that --track and --audio-lang ask for, checked against the file,
// and the list of tracks that --info shows.
#pragma once

#include <corvina/stream.h>

#include <string>

// Whether the opened stream plays the track asked for: a track number past
// the file's tracks is told on standard error (false); a language that no
// track has is warned about, the default track playing.
bool CheckTrackChoice(const corvina::CStream& stream, const corvina::CTrackChoice& choice,
                      const std::string& strFile);

// One line per Layer I/II track of the file that stream has opened, where it
// holds several: number, language, kind, sample frequency, mode and
// bitrate. Empty for a file of one track.
std::string DescribeTracks(const corvina::CStream& stream, const std::string& strFile);
