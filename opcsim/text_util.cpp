#include "opcsim/text_util.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

std::string Utf8FromWide(const std::wstring& text)
{
    if (text.empty()) return std::string();
    int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
    return out;
}

std::wstring WideFromUtf8(const std::string& text)
{
    if (text.empty()) return std::wstring();
    int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n);
    return out;
}

bool SplitTokens(const std::string& line, std::vector<std::string>& tokens, std::string& error)
{
    tokens.clear();
    size_t i = 0;
    while (i < line.size()) {
        char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            ++i;
            continue;
        }
        if (c == '#') break;
        if (c == '{' || c == '}') {
            tokens.push_back(std::string(1, c));
            ++i;
            continue;
        }
        std::string token;
        while (i < line.size()) {
            c = line[i];
            if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '{' || c == '}') break;
            if (c != '"') {
                token += c;
                ++i;
                continue;
            }
            ++i; // a quoted run, possibly in the middle of a token (reason="...")
            bool closed = false;
            while (i < line.size()) {
                c = line[i++];
                if (c == '"') {
                    closed = true;
                    break;
                }
                if (c == '\\' && i < line.size() && (line[i] == '"' || line[i] == '\\')) c = line[i++];
                token += c;
            }
            if (!closed) {
                error = "unterminated quote";
                return false;
            }
        }
        tokens.push_back(token);
    }
    return true;
}

std::string QuoteIfNeeded(const std::string& text)
{
    bool plain = !text.empty();
    for (char c : text) {
        if (c == ' ' || c == '\t' || c == '"' || c == '\\' || c == '{' || c == '}' || c == '#' || c == '\r' ||
            c == '\n')
            plain = false;
    }
    return plain ? text : Quote(text);
}

std::string Quote(const std::string& text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

bool ParseSigned(const std::string& text, long long low, long long high, long long& out)
{
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    long long v = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || v < low || v > high) return false;
    out = v;
    return true;
}

bool ParseUnsigned(const std::string& text, unsigned long long high, unsigned long long& out)
{
    if (text.empty() || text[0] == '-' || text[0] == '+') return false;
    char* end = nullptr;
    errno = 0;
    bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    unsigned long long v = std::strtoull(text.c_str(), &end, hex ? 16 : 10);
    if (errno != 0 || *end != '\0' || v > high) return false;
    out = v;
    return true;
}

bool ParseReal(const std::string& text, double& out)
{
    if (text == "nan") {
        out = std::nan("");
        return true;
    }
    if (text == "inf" || text == "-inf") {
        out = text[0] == '-' ? -HUGE_VAL : HUGE_VAL;
        return true;
    }
    if (text.empty()) return false;
    for (char c : text) {
        if (!((c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E'))
            return false;
    }
    char* end = nullptr;
    out = std::strtod(text.c_str(), &end);
    return *end == '\0';
}

bool ParseHResult(const std::string& text, HRESULT& out)
{
    unsigned long long u = 0;
    if (ParseUnsigned(text, 0xFFFFFFFFull, u)) {
        out = static_cast<HRESULT>(static_cast<unsigned long>(u));
        return true;
    }
    long long s = 0;
    if (!ParseSigned(text, -2147483648LL, 2147483647LL, s)) return false;
    out = static_cast<HRESULT>(s);
    return true;
}

std::string HexHResult(HRESULT hr)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08lX", static_cast<unsigned long>(hr));
    return buf;
}

std::string FormatReal(double value, bool singlePrecision)
{
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
    char buf[40];
    for (int precision = 1; precision <= 17; ++precision) {
        std::snprintf(buf, sizeof buf, "%.*g", precision, value);
        double back = std::strtod(buf, nullptr);
        bool same = singlePrecision ? static_cast<float>(back) == static_cast<float>(value) : back == value;
        if (same) break;
    }
    // Whole numbers below 1e16 without an exponent: 10, not 1e+01.
    const char* e = std::strchr(buf, 'e');
    int exponent = e != nullptr ? std::atoi(e + 1) : -1;
    if (exponent >= 0 && exponent < 16)
        std::snprintf(buf, sizeof buf, "%.*g", exponent + 1 > 17 ? 17 : exponent + 1, value);
    return buf;
}
