#pragma once
// The one table of everything the instance's window takes: each message (and timer) with its owner, the
// guard that lets through only what its owner waits for, and the handler. MakeDriverRecord gives it to
// every instance; the window procedure (connection/message_window.cpp) routes through it and knows no
// handler itself, so the window sits below both connection/ and exchange/, whose handlers are named here.

struct MessageTable;

extern const MessageTable kMessageTable;
// The exchange's steps of the supervision (connection/supervision.h), given to every instance beside
// the table.
struct ExchangeSteps;
extern const ExchangeSteps kExchangeSteps;
