// Loads generated parameter files of 1 000, 10 000 and 100 000 channels and prints the load time and
// the live bytes per channel. A third of the channels are ranges of 2 to 8 elements; the entries come
// in random order (fixed seed), so every insert and overlap probe lands somewhere inside the table.
// Usage: bench_param_load [repetitions per size, default 5]

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <windows.h>

#include "config/param_file.h"
#include "driver/opc_driver.h"
#include "hostrt/core.h"

namespace {

struct Figures {
    double bestMs = 0;
    double medianMs = 0;
    std::uint64_t liveBytes = 0;
    std::uint32_t liveBlocks = 0;
};

std::string MakeParameterFile(std::uint32_t channels, std::mt19937& random)
{
    std::vector<std::string> entries;
    entries.reserve(channels);
    std::uniform_int_distribution<int> shape(0, 2);
    std::uniform_int_distribution<std::uint32_t> length(2, 8);
    std::uint32_t next = 1;
    for (std::uint32_t i = 0; i < channels; ++i) {
        std::string itemId = "Plant.Area" + std::to_string(i % 40) + ".Tag" + std::to_string(i);
        if (shape(random) == 0) {
            std::uint32_t last = next + length(random) - 1;
            entries.push_back(std::to_string(next) + "-" + std::to_string(last) + "=" + itemId + "\n");
            next = last + 2;
        } else {
            entries.push_back(std::to_string(next) + "=" + itemId + "\n");
            next += 2;
        }
    }
    std::shuffle(entries.begin(), entries.end(), random);
    std::string text = "[server]\nCLSID={01234567-89AB-CDEF-0F1E-2D3C4B5A6978}\nupdate_rate=1\n[channels]\n";
    for (const std::string& entry : entries)
        text += entry;
    return text;
}

bool Measure(const std::wstring& path, int repetitions, Figures& figures)
{
    std::vector<double> times;
    for (int r = 0; r < repetitions; ++r) {
        OpcDriver* drv = MakeDriverRecord();
        if (drv == nullptr) return false;
        std::uint64_t bytesBefore = LiveBlockBytes();
        std::uint32_t blocksBefore = LiveBlockCount();
        wchar_t err[128] = {};
        auto start = std::chrono::steady_clock::now();
        bool ok = LoadParameterFile(*drv, kHostNameMax, path.c_str(), 127, err);
        auto stop = std::chrono::steady_clock::now();
        figures.liveBytes = LiveBlockBytes() - bytesBefore;
        figures.liveBlocks = LiveBlockCount() - blocksBefore;
        drv->channels.Clear();
        FreeDriverRecord(drv);
        if (!ok) {
            std::fwprintf(stderr, L"load failed: %ls\n", err);
            return false;
        }
        times.push_back(std::chrono::duration<double, std::milli>(stop - start).count());
    }
    std::sort(times.begin(), times.end());
    figures.bestMs = times.front();
    figures.medianMs = times[times.size() / 2];
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    char folder[MAX_PATH + 1] = {};
    if (GetTempPathA(MAX_PATH, folder) == 0) return 1;
    std::mt19937 random(20240517);
    std::printf("%9s %10s %10s %14s %13s %14s\n", "channels", "best ms", "median ms", "ns/(n log2 n)",
                "bytes/channel", "blocks/channel");
    for (std::uint32_t channels : {1000u, 10000u, 100000u}) {
        std::string path = std::string(folder) + "bench_param_load_" + std::to_string(channels) + ".par";
        {
            std::ofstream file(path, std::ios::binary);
            file << MakeParameterFile(channels, random);
            if (!file) return 1;
        }
        Figures figures;
        bool ok = Measure(std::wstring(path.begin(), path.end()), repetitions, figures);
        std::remove(path.c_str());
        if (!ok) return 1;
        double nLogN = channels * std::log2(static_cast<double>(channels));
        std::printf("%9u %10.2f %10.2f %14.1f %13.1f %14.2f\n", channels, figures.bestMs, figures.medianMs,
                    figures.bestMs * 1e6 / nLogN, static_cast<double>(figures.liveBytes) / channels,
                    static_cast<double>(figures.liveBlocks) / channels);
    }
    return 0;
}
