// Under libFuzzer a broken property is a finding like a crash: the program stops and the input
// is kept.
#include <cstdlib>

#include "tests/fuzz/broken_property.h"

void tessaril::fuzz::ReportBrokenProperty() { std::abort(); }
