// Linked into the libFuzzer programs only (not the test suite, which checks
// the kept inputs at the game's own limits): a smaller largest image keeps
// the same checks while each input decodes quickly, so far more inputs run.
#include "framework/graphics/AxImageDecode.h"

namespace {
const bool kLimitsSet = (AxSetImageDecodeMaxPixels(1024u * 1024u), true);
}
