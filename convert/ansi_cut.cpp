#include "convert/code_page.h"

#include "hostrt/core.h"

namespace {

bool IsUtf8Continuation(char byte)
{
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

// A UTF-8 character has at most three continuation bytes.
constexpr std::uint32_t kMaxUtf8Continuations = 3;

} // namespace

std::uint32_t AnsiCut(std::uint32_t codePage, const char* text, std::uint32_t maxBytes)
{
    if (codePage == kUtf8CodePage) {
        std::uint32_t cut = AnsiLen(maxBytes, text);
        if (cut < maxBytes) return cut;
        // text[cut] exists (the text is NUL-ended); a continuation byte there means that the character
        // before it straddles the limit: leave out its bytes.
        for (std::uint32_t i = 0; i < kMaxUtf8Continuations && cut > 0 && IsUtf8Continuation(text[cut]); ++i)
            --cut;
        return cut;
    }
    // In a DBCS code page a trail byte may look like a lead byte, so pairs are found from the start.
    std::uint32_t cut = 0;
    while (cut < maxBytes && text[cut] != '\0') {
        std::uint32_t width = IsLeadByte(codePage, text[cut]) && text[cut + 1] != '\0' ? 2 : 1;
        if (cut + width > maxBytes) break;
        cut += width;
    }
    return cut;
}
