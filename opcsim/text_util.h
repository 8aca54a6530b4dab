// Text helpers of the simulation server: UTF-8/UTF-16, tokens with quotes, numbers and HRESULTs.
#pragma once

#include <string>
#include <vector>

#include <windows.h>

std::string Utf8FromWide(const std::wstring& text);
std::wstring WideFromUtf8(const std::string& text);

// Splits a scenario line into tokens: blanks separate, "..." quotes (with \" and \\), '{' and '}'
// stand alone, '#' outside quotes starts a comment. False with an error text on an open quote.
bool SplitTokens(const std::string& line, std::vector<std::string>& tokens, std::string& error);

// The text in quotes, with \" and \\ escaped, as SplitTokens reads it back.
std::string Quote(const std::string& text);
// The token as SplitTokens reads it back: quoted when empty or holding blanks, quotes, braces or '#'.
std::string QuoteIfNeeded(const std::string& text);

bool ParseSigned(const std::string& text, long long low, long long high, long long& out);
bool ParseUnsigned(const std::string& text, unsigned long long high, unsigned long long& out);
bool ParseReal(const std::string& text, double& out);       // also nan, inf, -inf
bool ParseHResult(const std::string& text, HRESULT& out);   // 0x-hex or decimal
std::string HexHResult(HRESULT hr);                         // 0x%08X
std::string FormatReal(double value, bool singlePrecision); // shortest text that reads back exactly
