// The PCX reader's fault injection: the scan-line buffer's allocation can
// be made to fail, which memory pressure alone cannot provoke reliably. The
// reader consults the count; the test hook that sets it is built only into
// the tests (pcx_test_hooks.cpp).
#ifndef BV_IMAGE_PCX_H
#define BV_IMAGE_PCX_H

#include <cstdint>

namespace bv {

// Scan-line buffer allocations still to fail; 0 in a program without the
// test hooks.
extern int32_t failing_pcx_allocations;

namespace test {
// The next n scan-line buffer allocations fail (0 puts it back).
void fail_pcx_allocations(int32_t n);
}  // namespace test

}  // namespace bv

#endif
