#include "opcsim/scenario.h"

#include <unordered_set>

#include "idl/opc_constants.h"
#include "opcsim/date_text.h"
#include "opcsim/text_util.h"

namespace {

using Tokens = std::vector<std::string>;

struct StateName {
    const char* name;
    DWORD state;
};

constexpr StateName kStates[] = {
    {"RUNNING", 1}, {"FAILED", 2}, {"NOCONFIG", 3}, {"SUSPENDED", 4}, {"TEST", 5}};

bool ParseAccess(const std::string& text, DWORD& access)
{
    if (text == "r")
        access = OPC_READABLE;
    else if (text == "w")
        access = OPC_WRITEABLE;
    else if (text == "rw")
        access = OPC_READABLE | OPC_WRITEABLE;
    else
        return false;
    return true;
}

bool ParseSignal(const std::string& text, Signal& signal)
{
    std::vector<std::string> parts;
    size_t start = 0;
    while (true) {
        size_t colon = text.find(':', start);
        parts.push_back(text.substr(start, colon - start));
        if (colon == std::string::npos) break;
        start = colon + 1;
    }
    const char* kinds[] = {"", "ramp", "sine", "random", "toggle"};
    bool known = false;
    for (int k = 1; k < 5; ++k) {
        if (parts[0] == kinds[k]) {
            signal.kind = static_cast<SignalKind>(k);
            known = true;
        }
    }
    unsigned long long period = signal.periodMs;
    if (!known || parts.size() == 2 || parts.size() > 4) return false;
    if (parts.size() >= 3 && (!ParseReal(parts[1], signal.low) || !ParseReal(parts[2], signal.high)))
        return false;
    if (parts.size() == 4 && (!ParseUnsigned(parts[3], 86400000, period) || period == 0)) return false;
    signal.periodMs = static_cast<DWORD>(period);
    return true;
}

bool IsNumeric(VARTYPE vt)
{
    return vt != VT_BSTR && vt != VT_ERROR && vt != VT_EMPTY && vt != VT_NULL;
}

// item <ItemId> <type> <access> <value | { elements }> [quality=..] [timestamp=..] [signal=..]
bool ParseItem(const Tokens& t, Scenario& s, std::string& error)
{
    if (t.size() < 5) {
        error = "item needs an ItemId, a type, an access and a value";
        return false;
    }
    SimItem item;
    item.itemId = WideFromUtf8(t[1]);
    if (!ParseValueType(t[2], item.type, error)) return false;
    if (!ParseAccess(t[3], item.access)) {
        error = "access must be r, w or rw: " + t[3];
        return false;
    }
    size_t next = 4;
    bool ok = false;
    if (item.type.bounds.empty()) {
        ok = ParseScalar(item.type.element, t[4], item.initial, error);
        next = 5;
    } else if (t[4] != "{") {
        error = "an array value is written {e1 e2 ...}";
    } else {
        Tokens elements;
        for (next = 5; next < t.size() && t[next] != "}"; ++next)
            elements.push_back(t[next]);
        if (next == t.size())
            error = "missing }";
        else
            ok = BuildArray(item.type, elements, item.initial, error);
        ++next;
    }
    for (; ok && next < t.size(); ++next) {
        const std::string& option = t[next];
        size_t eq = option.find('=');
        std::string key = option.substr(0, eq), value = eq == std::string::npos ? "" : option.substr(eq + 1);
        unsigned long long quality = 0;
        if (key == "quality" && ParseUnsigned(value, 0xFFFF, quality))
            item.quality = static_cast<WORD>(quality);
        else if (key == "timestamp" && ParseFileTime(value, item.timestamp))
            item.fixedTime = true;
        else if (key == "signal" && ParseSignal(value, item.signal)) {
            bool boolOk = item.type.element != VT_BOOL || item.signal.kind == SignalKind::Toggle;
            if (!item.type.bounds.empty() || !IsNumeric(item.type.element) || !boolOk) {
                error = "signal needs a numeric scalar item (toggle also BOOL)";
                ok = false;
            }
        } else {
            error = "bad item option " + QuoteIfNeeded(option);
            ok = false;
        }
    }
    if (!ok) {
        VariantClear(&item.initial);
        return false;
    }
    s.items.push_back(item);
    return true;
}

bool ParseMethod(const std::string& text, SimMethod& method, std::string& error)
{
    if (SimMethodFromName(text.c_str(), method)) return true;
    error = "unknown call " + QuoteIfNeeded(text);
    return false;
}

bool ParseCount(const std::string& text, DWORD& out)
{
    unsigned long long v = 0;
    if (!ParseUnsigned(text, 0xFFFFFFFFull, v)) return false;
    out = static_cast<DWORD>(v);
    return true;
}

// "<n>ms"
bool ParseMs(const std::string& text, DWORD& out)
{
    return text.size() > 2 && text.compare(text.size() - 2, 2, "ms") == 0 &&
           ParseCount(text.substr(0, text.size() - 2), out);
}

// NOCONFIG:3000ms, TEST:2calls, RUNNING, 77
bool ParseStatus(const Tokens& t, Scenario& s, std::string& error)
{
    for (size_t i = 2; i < t.size(); ++i) {
        StatusStep step;
        size_t colon = t[i].find(':');
        std::string name = t[i].substr(0, colon);
        bool known = ParseCount(name, step.state);
        for (const StateName& n : kStates) {
            if (name == n.name) {
                step.state = n.state;
                known = true;
            }
        }
        bool ok = known;
        if (ok && colon != std::string::npos) {
            std::string length = t[i].substr(colon + 1);
            step.inCalls = length.size() > 5 && length.compare(length.size() - 5, 5, "calls") == 0;
            bool inMs = length.size() > 2 && length.compare(length.size() - 2, 2, "ms") == 0;
            ok = (step.inCalls || inMs) &&
                 ParseCount(length.substr(0, length.size() - (step.inCalls ? 5 : 2)), step.length) &&
                 step.length > 0;
        }
        if (!ok) {
            error = "bad status step " + QuoteIfNeeded(t[i]);
            return false;
        }
        s.status.push_back(step);
    }
    return true;
}

bool ParseLacks(const Tokens& t, Scenario& s, std::string& error)
{
    struct Missing {
        const char* where;
        const char* what;
        bool Lacks::*flag;
    };
    static const Missing kMissing[] = {
        {"server", "IConnectionPointContainer", &Lacks::serverPoints},
        {"server", "IOPCShutdown", &Lacks::shutdownPoint},
        {"server", "IOPCBrowseServerAddressSpace", &Lacks::browse},
        {"server", "IOPCCommon", &Lacks::common},
        {"group", "IConnectionPointContainer", &Lacks::groupPoints},
        {"group", "IOPCDataCallback", &Lacks::dataPoint},
        {"group", "IOPCSyncIO", &Lacks::syncIo},
        {"group", "IOPCAsyncIO2", &Lacks::asyncIo},
    };
    for (const Missing& m : kMissing) {
        if (t.size() == 4 && t[2] == m.where && t[3] == m.what) {
            s.lacks.*m.flag = true;
            return true;
        }
    }
    error = "lacks needs server|group and an interface it can lack";
    return false;
}

bool ParseShutdown(const Tokens& t, Scenario& s, std::string& error)
{
    s.shutdown.enabled = true;
    for (size_t i = 2; i < t.size(); ++i) {
        const std::string& a = t[i];
        bool ok = false;
        if (a.compare(0, 7, "reason=") == 0) {
            s.shutdown.reason = WideFromUtf8(a.substr(7));
            ok = true;
        } else if (a.compare(0, 6, "after=") == 0) {
            std::string when = a.substr(6);
            size_t colon = when.find(':');
            if (colon != std::string::npos) {
                ok = ParseCount(when.substr(0, colon), s.shutdown.afterCount) && s.shutdown.afterCount > 0 &&
                     SimMethodFromName(when.substr(colon + 1).c_str(), s.shutdown.afterMethod);
            } else {
                ok = ParseMs(when, s.shutdown.afterMs);
            }
        }
        if (!ok) {
            error = "shutdown takes after=<n>ms or after=<n>:<call>, and reason=<text>: " + QuoteIfNeeded(a);
            return false;
        }
    }
    return true;
}

// changes stop [after=<n>ms] | changes quality=<n>
bool ParseChanges(const Tokens& t, Scenario& s, std::string& error)
{
    const std::string& what = t.size() > 2 ? t[2] : std::string();
    bool ok = false;
    if (what == "stop") {
        s.changes.stop = true;
        ok = t.size() == 3 || (t.size() == 4 && t[3].compare(0, 6, "after=") == 0 &&
                               ParseMs(t[3].substr(6), s.changes.stopAfterMs));
    } else if (t.size() == 3 && what.compare(0, 8, "quality=") == 0) {
        unsigned long long quality = 0;
        ok = ParseUnsigned(what.substr(8), 0xFFFF, quality);
        s.changes.forceQuality = true;
        s.changes.quality = static_cast<WORD>(quality);
    }
    if (!ok) error = "changes takes stop [after=<n>ms] or quality=<n>";
    return ok;
}

bool ParseEmpty(const Tokens& t, Scenario& s, std::string& error)
{
    bool first = t.size() == 4 && t[3] == "first";
    if ((t.size() != 3 && !first) || (t[2] != "OnReadComplete" && t[2] != "OnWriteComplete")) {
        error = "empty-completion OnReadComplete|OnWriteComplete [first]";
        return false;
    }
    (t[2] == "OnReadComplete" ? s.emptyRead : s.emptyWrite) =
        first ? EmptyCompletion::First : EmptyCompletion::Instead;
    return true;
}

bool ParseForeign(const Tokens& t, Scenario& s, std::string& error)
{
    if (t.size() != 3 || (t[2] != "OnReadComplete" && t[2] != "OnWriteComplete")) {
        error = "foreign-handles OnReadComplete|OnWriteComplete";
        return false;
    }
    (t[2] == "OnReadComplete" ? s.foreignRead : s.foreignWrite) = true;
    return true;
}

bool ParseBehaviour(const Tokens& t, Scenario& s, std::string& error)
{
    const std::string& name = t.size() > 1 ? t[1] : std::string();
    if (name == "status" && t.size() > 2) return ParseStatus(t, s, error);
    if (name == "lacks") return ParseLacks(t, s, error);
    if (name == "shutdown") return ParseShutdown(t, s, error);
    if (name == "changes") return ParseChanges(t, s, error);
    if (name == "empty-completion") return ParseEmpty(t, s, error);
    if (name == "foreign-handles") return ParseForeign(t, s, error);
    if (name == "completions" && t.size() == 3 &&
        (t[2] == "posted" || t[2] == "reentrant" || t[2] == "thread")) {
        s.delivery = t[2] == "posted"      ? Delivery::Posted
                     : t[2] == "reentrant" ? Delivery::Reentrant
                                           : Delivery::Thread;
        return true;
    }
    if (name == "linger" && t.size() == 3 && ParseCount(t[2], s.lingerMs)) return true;
    if (name == "min-rate" && t.size() == 3 && ParseCount(t[2], s.minUpdateRate)) return true;
    if (name == "result" && (t.size() == 4 || t.size() == 5)) {
        ResultRule r;
        if (!ParseMethod(t[2], r.method, error)) return false;
        if (ParseHResult(t[3], r.hr) &&
            (t.size() == 4 || (t[4].compare(0, 5, "from=") == 0 && ParseCount(t[4].substr(5), r.fromCall)))) {
            s.results.push_back(r);
            return true;
        }
    }
    if (name == "item-error" && t.size() == 5) {
        ItemErrorRule r;
        if (!ParseMethod(t[2], r.method, error)) return false;
        r.itemId = WideFromUtf8(t[3]);
        if (ParseHResult(t[4], r.hr)) {
            s.itemErrors.push_back(r);
            return true;
        }
    }
    if (name == "delay" && t.size() == 4) {
        DelayRule r;
        if (!ParseMethod(t[2], r.method, error)) return false;
        if (ParseCount(t[3], r.ms)) {
            s.delays.push_back(r);
            return true;
        }
    }
    if ((name == "crash" || name == "hang" || name == "exit") && (t.size() == 3 || t.size() == 4)) {
        TriggerRule r;
        if (!ParseMethod(t[2], r.method, error)) return false;
        if (t.size() == 3 || (ParseCount(t[3], r.nth) && r.nth > 0)) {
            (name == "crash" ? s.crashes : name == "hang" ? s.hangs : s.exits).push_back(r);
            return true;
        }
    }
    if (name == "exit-after-shutdown" && t.size() == 3 && ParseCount(t[2], s.exitAfterShutdownMs)) {
        s.exitAfterShutdown = true;
        return true;
    }
    if (error.empty()) error = "bad behaviour line";
    return false;
}

bool ParseLine(const Tokens& t, Scenario& s, std::string& error)
{
    if (t[0] == "item") return ParseItem(t, s, error);
    if (t[0] == "behaviour") return ParseBehaviour(t, s, error);
    if (t[0] == "vendor" && t.size() == 2) {
        s.vendor = WideFromUtf8(t[1]);
        return true;
    }
    if (t[0] == "log" && t.size() == 2) {
        s.logPath = WideFromUtf8(t[1]);
        return true;
    }
    error = "unknown line " + QuoteIfNeeded(t[0]);
    return false;
}

} // namespace

bool ParseScenario(const std::string& text, Scenario& scenario, std::string& error)
{
    size_t start = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    for (int line = 1; start <= text.size(); ++line) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        Tokens tokens;
        std::string why;
        bool ok = SplitTokens(text.substr(start, end - start), tokens, why) &&
                  (tokens.empty() || ParseLine(tokens, scenario, why));
        if (!ok) {
            error = "line " + std::to_string(line) + ": " + why;
            return false;
        }
        start = end + 1;
    }
    std::unordered_set<std::wstring> seen; // a scenario may declare tens of thousands of items
    for (const SimItem& item : scenario.items) {
        if (!seen.insert(item.itemId).second) {
            error = "duplicate item " + Utf8FromWide(item.itemId);
            return false;
        }
    }
    return true;
}

void ReleaseScenario(Scenario& scenario)
{
    for (SimItem& item : scenario.items)
        VariantClear(&item.initial);
    scenario.items.clear();
}
