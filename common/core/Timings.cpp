#include "Timings.h"

namespace common {

Timings& timings() {
    static Timings t;
    return t;
}

void ResetTimings() { timings() = Timings{}; }

}  // namespace common
