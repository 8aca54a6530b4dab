#pragma once
// When the driver's server call began and ended, from its own debug trace: with "debug = yes" it writes
// a line right before IOPCAsyncIO2::Read/Write or IOPCSyncIO::Read/Write and one when the completion
// arrives (OnReadComplete/OnWriteComplete) or the synchronous call returned. A vectored handler sees
// each line as it is written (Wine raises DBG_PRINTEXCEPTION_C for OutputDebugString; Windows raises
// it after its wide twin) and notes the time. The rest of a batch is the driver's own work.

// The window between the first start line and the first end line since ArmTraceClock, in ms of NowMs.
struct CallWindow {
    double startMs = 0;
    double endMs = 0;
    bool complete = false;
};

// Installs the handler for the life of the process; false when the system refused it.
bool InstallTraceClock();
// Forgets the lines seen so far: the next batch's lines open and close the window.
void ArmTraceClock();
CallWindow TakeCallWindow();
