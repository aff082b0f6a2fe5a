// Test hook of the PCX reader: the scan-line buffer's allocation can be
// made to fail, which memory pressure alone cannot provoke reliably.
#ifndef BV_IMAGE_PCX_H
#define BV_IMAGE_PCX_H

#include <cstdint>

namespace bv::test {

// The next n scan-line buffer allocations fail (0 puts it back).
void fail_pcx_allocations(int32_t n);

}  // namespace bv::test

#endif
