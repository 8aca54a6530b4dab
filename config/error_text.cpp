#include "config/error_text.h"

#include "hostrt/core.h"

namespace {

// Longest message text; every fixed sentence is shorter.
constexpr std::uint32_t kMessageMax = 127;

} // namespace

bool Fail(const ErrorText& err, const wchar_t* message)
{
    if (err.text != nullptr) CopyText(err.max, err.text, kMessageMax, message);
    return false;
}

bool FailWith(const ErrorText& err, const wchar_t* offending, const wchar_t* message)
{
    if (err.text != nullptr) {
        JoinText(err.max, err.text, kKeyMax, offending, 2, L": ");
        AppendText(err.max, err.text, kMessageMax, message);
    }
    return false;
}
