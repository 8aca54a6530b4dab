// Which results of a server call count as the server or the connection being gone: the transport and
// RPC results, and nothing the server itself answers.

#include <gtest/gtest.h>

#include "connection/server_gone.h"

namespace {

TEST(ServerGone, TheTransportAndRpcResultsOfAServerThatHasGone)
{
    for (unsigned hr : {0x800706BAu, 0x800706BEu, 0x800706BFu, 0x80010108u, 0x800401FDu, 0x80010007u,
                        0x80010012u, 0x80010114u}) {
        SCOPED_TRACE(hr);
        EXPECT_TRUE(IsServerGone(static_cast<HRESULT>(hr)));
    }
}

TEST(ServerGone, NotWhatARunningServerAnswers)
{
    // Success, refusals of the server, an exception inside a server that still runs, a busy server,
    // an interface without its proxy (a deployment fault, not a lost server).
    for (unsigned hr : {0x00000000u, 0x00000001u, 0x80004005u, 0x80070057u, 0xC0040007u, 0x80010105u,
                        0x8001010Au, 0x800706B5u, 0x80040004u}) {
        SCOPED_TRACE(hr);
        EXPECT_FALSE(IsServerGone(static_cast<HRESULT>(hr)));
    }
}

} // namespace
