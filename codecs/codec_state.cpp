// Taking characters from UTF-16 input, for the encoders that map them one by one.
#include "codecs/codec_state.h"

namespace codecs::detail {

namespace {

bool IsHigh(char16_t u)
{
    return u >= 0xD800 && u <= 0xDBFF;
}
bool IsLow(char16_t u)
{
    return u >= 0xDC00 && u <= 0xDFFF;
}

}  // namespace

bool TakeCharacter(const char16_t* src, size_t n, size_t& used, bool end, char16_t& heldHigh, char32_t& c)
{
    constexpr char32_t kSurrogateCharacter = 0xD800;
    if (heldHigh != 0) {
        if (used == n && !end)
            return false;
        heldHigh = 0;
        if (used < n && IsLow(src[used]))
            ++used;
        c = kSurrogateCharacter;
        return true;
    }
    if (used == n)
        return false;
    const char16_t u = src[used++];
    if (IsHigh(u)) {
        if (used == n && !end) {
            heldHigh = u;
            return false;
        }
        if (used < n && IsLow(src[used]))
            ++used;
        c = kSurrogateCharacter;
        return true;
    }
    c = IsLow(u) ? kSurrogateCharacter : u;
    return true;
}

}  // namespace codecs::detail
