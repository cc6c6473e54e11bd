// Where a decode starts.
#pragma once

namespace corvina {

// Seconds into the stream, or a percentage of its playing time.
struct CStartPoint {
    double dValue = 0.0;
    bool bPercent = false;
};

}  // namespace corvina
