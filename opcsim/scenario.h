// A simulation scenario: the items of the address space and the behaviours on demand, read from a
// line-based text file (format in docs/opcsim.md).
#pragma once

#include <string>
#include <vector>

#include <windows.h>
#include <oleauto.h>

#include "opcsim/value_text.h"
#include "tests/support/sim_items.h"

enum class SignalKind { None, Ramp, Sine, Random, Toggle };

struct Signal {
    SignalKind kind = SignalKind::None;
    double low = 0;
    double high = 100;
    DWORD periodMs = 10000;
};

struct SimItem {
    std::wstring itemId{};
    ValueType type{};
    DWORD access = 0;  // OPC_READABLE | OPC_WRITEABLE
    VARIANT initial{}; // owned; canonical type
    WORD quality = 0xC0;
    bool fixedTime = false; // timestamp given: every read reports it
    FILETIME timestamp{};
    Signal signal{};
};

struct StatusStep {
    DWORD state = 1;      // reported by GetStatus; any number, defined or not
    DWORD length = 0;     // 0: for ever (the last step)
    bool inCalls = false; // length counts GetStatus calls instead of milliseconds
};

struct ResultRule { // the call returns `hr`; failures skip the work, success codes replace the result
    SimMethod method = SimMethod::Any;
    HRESULT hr = S_OK;
    DWORD fromCall = 1;
};

struct ItemErrorRule { // per-item error of `method` for one ItemId
    SimMethod method = SimMethod::Any;
    std::wstring itemId{};
    HRESULT hr = S_OK;
};

struct DelayRule {
    SimMethod method = SimMethod::Any;
    DWORD ms = 0;
};

struct TriggerRule { // crash or hang in the nth call of `method`
    SimMethod method = SimMethod::Any;
    DWORD nth = 1;
};

enum class Delivery { Posted, Reentrant, Thread };

enum class EmptyCompletion { None, Instead, First };

struct ShutdownRule {
    bool enabled = false;
    std::wstring reason{};
    DWORD afterMs = 0;                           // with afterCount 0: ms after the first server object
    SimMethod afterMethod = SimMethod::SyncRead; // else after the afterCount-th call of afterMethod
    DWORD afterCount = 0;
};

struct ChangesRule {   // the periodic OnDataChange of active groups
    bool stop = false; // from stopAfterMs after the process's first server object on, none is sent
    DWORD stopAfterMs = 0;
    bool forceQuality = false; // every item of a periodic update reports `quality` (reads do not)
    WORD quality = 0;
};

struct Lacks { // interfaces and connection points the scenario takes away
    bool serverPoints = false;
    bool shutdownPoint = false;
    bool browse = false;
    bool common = false;
    bool groupPoints = false;
    bool dataPoint = false;
    bool syncIo = false;
    bool asyncIo = false;
};

// The bit a foreign-handles completion flips in every client handle: no client gives such handles here.
constexpr DWORD kForeignHandleBit = 0x80000000;

struct Scenario {
    std::wstring vendor = L"tagport simulation server";
    std::wstring logPath{};
    std::vector<SimItem> items{};
    std::vector<StatusStep> status{};
    std::vector<ResultRule> results{};
    std::vector<ItemErrorRule> itemErrors{};
    std::vector<DelayRule> delays{};
    std::vector<TriggerRule> crashes{};
    std::vector<TriggerRule> hangs{};
    // ExitProcess inside the nth call, after revoking the class, so that COM can start the server again.
    std::vector<TriggerRule> exits{};
    bool exitAfterShutdown = false;
    DWORD exitAfterShutdownMs = 0; // the process ends this long after its shutdown notices went out
    EmptyCompletion emptyRead = EmptyCompletion::None;
    EmptyCompletion emptyWrite = EmptyCompletion::None;
    // Completions that name their items by client handles the client never gave (kForeignHandleBit set).
    bool foreignRead = false;
    bool foreignWrite = false;
    Delivery delivery = Delivery::Posted;
    ShutdownRule shutdown{};
    ChangesRule changes{};
    Lacks lacks{};
    DWORD lingerMs = 5000;    // the process stays this long after its last object, for the next client
    DWORD minUpdateRate = 10; // faster requests are revised to it with OPC_S_UNSUPPORTEDRATE
};

// Parses UTF-8 text. On failure `error` reads "line N: what" and `scenario` holds what was read.
bool ParseScenario(const std::string& text, Scenario& scenario, std::string& error);
void ReleaseScenario(Scenario& scenario); // clears the items' values; safe to repeat
