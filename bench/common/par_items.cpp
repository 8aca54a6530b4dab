#include "bench/common/par_items.h"

#include <cstdlib>
#include <fstream>

#include <objbase.h>

namespace {

std::string Trimmed(const std::string& text)
{
    std::size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

std::wstring Widened(const std::string& ascii)
{
    return std::wstring(ascii.begin(), ascii.end()); // the generated files are ASCII
}

} // namespace

bool ReadParItems(const std::string& path, ParItems& items, std::string& error)
{
    items = ParItems{};
    std::ifstream file(path);
    if (!file) {
        error = "cannot open " + path;
        return false;
    }
    bool haveClsid = false;
    bool inChannels = false;
    std::string line;
    while (std::getline(file, line)) {
        line = Trimmed(line);
        if (!line.empty() && line[0] == '[') {
            inChannels = line == "[channels]";
            continue;
        }
        std::size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        std::string key = Trimmed(line.substr(0, equals));
        std::string value = Trimmed(line.substr(equals + 1));
        if (inChannels) {
            items.channels.push_back(static_cast<std::uint32_t>(std::strtoul(key.c_str(), nullptr, 10)));
            items.itemIds.push_back(Widened(value));
        } else if (key == "CLSID") {
            haveClsid = SUCCEEDED(CLSIDFromString(Widened(value).c_str(), &items.clsid));
        } else if (key == "sync") {
            items.sync = value == "yes";
        }
    }
    if (!haveClsid || items.channels.empty()) {
        error = "no CLSID or no channels in " + path;
        return false;
    }
    return true;
}
