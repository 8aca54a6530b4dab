#pragma once
// Messages posted to an instance's hidden window; both parameters are 0 and never read.

#include <cstdint>

constexpr std::uint32_t MsgIssueRead = 1025;
constexpr std::uint32_t MsgIssueWrite = 1026;
constexpr std::uint32_t MsgSyncReadDone = 1027;
constexpr std::uint32_t MsgSyncWriteDone = 1028;
constexpr std::uint32_t MsgServerShutdown = 1029;
// The host's notification of a finished batch, delivered from the window rather than from inside the
// server's callback (a host that fires the next batch from its callback must not nest inside COM).
constexpr std::uint32_t MsgNotifyRead = 1030;
constexpr std::uint32_t MsgNotifyWrite = 1031;
