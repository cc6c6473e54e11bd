// What the listener chooses about how frames are heard: whether damaged
// frames are concealed, and which channel of a dual-channel frame plays.
#pragma once

namespace corvina {

// The two channels of a dual-channel frame carry two programmes (two
// languages, say): both as stereo, one of them on both outputs, or their mix.
enum class EDualChannel { Both, First, Second, Mix };

struct CDecodeChoices {
    // A frame failing its CRC or holding a forbidden code repeats the last
    // good one, fading; false gives silence for the first and decodes the
    // second as it stands.
    bool bConceal = true;
    EDualChannel eDual = EDualChannel::Both;
};

}  // namespace corvina
