// Cutting a run of items to a table or a page: shared by the palettes, the
// PCX reader's placement and the backend's palette tables.
#ifndef BV_CLIP_RUN_H
#define BV_CLIP_RUN_H

#include <algorithm>
#include <cstdint>

namespace bv {

// The run [origin, origin + length) cut to [0, limit): its first item
// inside, how many of its items lie before 0, and how many remain (all 0
// when none does). In 64 bits, so no end overflows.
struct ClippedRun {
    int32_t first = 0;
    int32_t skip = 0;
    int32_t count = 0;
};

constexpr ClippedRun clip_run(int64_t origin, int64_t length, int64_t limit) {
    ClippedRun run;
    if (length <= 0) return run;
    const int64_t first = std::max<int64_t>(origin, 0);
    const int64_t end = std::min(origin + length, limit);
    if (end <= first) return run;
    run.first = static_cast<int32_t>(first);
    run.skip = static_cast<int32_t>(first - origin);
    run.count = static_cast<int32_t>(end - first);
    return run;
}

}  // namespace bv

#endif
