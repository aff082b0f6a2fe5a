// Test hook of the PCX reader, built only into the tests.
#include <algorithm>

#include "image/pcx.h"

void bv::test::fail_pcx_allocations(int32_t n) { failing_pcx_allocations = std::max(n, 0); }
