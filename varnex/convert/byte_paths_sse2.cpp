// The byte paths' blocks 16 bytes at a time with SSE2, the x86-64 baseline: UTF-8 and single-byte text into UTF-8.
#include "varnex/convert/byte_paths_sse2.h"

#if defined(__SSE2__)

namespace byte_paths::sse2 {

using Vec = Sse2;
#include "varnex/convert/byte_blocks.inc"

#define VARNEL_INSTANTIATE(Text)                                                                                       \
    template const unsigned char* PutBlocks(const Text&, Sink&, const unsigned char*, const unsigned char*,            \
                                            const unsigned char*, size_t&);                                            \
    template bool PutTail(const Text&, Sink&, const unsigned char*, const unsigned char*, size_t&);
VARNEL_INSTANTIATE(Utf8Text)
VARNEL_INSTANTIATE(SingleByteText)
#undef VARNEL_INSTANTIATE

}  // namespace byte_paths::sse2

#endif
