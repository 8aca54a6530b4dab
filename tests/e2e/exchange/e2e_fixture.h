#pragma once
// The fixture of the end-to-end exchange tests: tagport.dll loaded once per program, a host instance
// per test against its own simulation server, in the mode of the test's parameter, and the trace.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/e2e_host.h"
#include "tests/support/trace_capture.h"

class ExchangeE2E : public ::testing::TestWithParam<Mode> {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(LoadDriverApi(api)); }
    static void TearDownTestSuite() { UnloadDriverApi(api); }

    ::testing::AssertionResult Start(const std::string& behaviours = "")
    {
        return host.Start(api, GetParam(), behaviours);
    }
    Mode mode() const { return GetParam(); }
    // Lines of the server's log that start with prefix.
    std::vector<std::string> Logged(const std::string& prefix) const
    {
        return SimLogLines(host.Sim(), prefix);
    }
    // How often the server's log shows the call.
    std::size_t ServerCalls(const char* call) const
    {
        return Logged(std::string("call ") + call + " ").size();
    }
    // The trace since the last call: one entry per line, its CR LF removed.
    std::vector<std::string> TraceLines()
    {
        std::vector<std::string> lines;
        for (const std::wstring& text : traces.Take()) {
            std::string line(text.begin(), text.end()); // the trace texts and ItemIds here are ASCII
            if (line.size() >= 2 && line.compare(line.size() - 2, 2, "\r\n") == 0)
                line.resize(line.size() - 2);
            lines.push_back(line);
        }
        return lines;
    }
    bool Traced(const std::string& line)
    {
        for (const std::string& traced : TraceLines()) {
            if (traced == line) return true;
        }
        return false;
    }

    static DriverApi api;
    TraceCapture traces;
    E2eHost host;
};
