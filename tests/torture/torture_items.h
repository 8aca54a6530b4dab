#pragma once
// The address space every episode's server serves and the channels its host binds to it. The ramp
// counts the milliseconds of its process and is stamped at each device read, so a value delivered for a
// batch must carry a timestamp from that batch's own lifetime: one from before a loss cannot pass.

#include <cstdint>

constexpr char kTortureItems[] = "vendor torture\n"
                                 "item Tort.Ramp R8 r 0 signal=ramp:0:86400000:86400000\n"
                                 "item Tort.Target I4 rw 0\n"
                                 "item Tort.Probe I4 r 5\n";
constexpr char kTortureChannels[] = "[channels]\n1 = Tort.Ramp\n2 = Tort.Target\n3 = Tort.Probe\n";
constexpr char kTargetWritePrefix[] = "write Tort.Target ";

constexpr std::uint32_t kRampChannel = 1;
constexpr std::uint32_t kTargetChannel = 2;
// Never requested: its finalize tells lost (StatusServerDown) from connected (never exchanged).
constexpr std::uint32_t kProbeChannel = 3;

// The host's quality of a good OPC quality.
constexpr std::uint32_t kGoodQuality = 750;
