#pragma once
// watch --subscribe runs the instance with subscribe = true in [server]. A file that sets it runs as it
// is; otherwise the driver loads a copy in the temporary folder with the key added (or its value made
// true), so that the user's file is never written. A file the driver would refuse anyway runs as it is,
// so that Init reports the fault in the driver's own words and about the user's own file.

#include <string>

enum class SubscribeKey {
    On,      // the file sets subscribe true
    Off,     // the file sets subscribe false
    Absent,  // [server] has no subscribe key
    Refused, // the driver refuses the file: unreadable, no [server], the key twice or not a boolean
};

struct SubscribedCopy {
    SubscribeKey key = SubscribeKey::Refused;
    std::wstring text{}; // the copy's text, for Off and Absent
};

// Reads file with the driver's own reader and says what the copy holds.
SubscribedCopy PlanSubscribedCopy(const std::wstring& file);

struct SubscribedFile {
    std::wstring path{}; // the file the driver loads
    std::wstring copy{}; // the copy, deleted by ReleaseSubscribedFile; empty when the file runs as it is
};

// Chooses the file to load, writing the copy when one is needed; note says so (empty when the file runs
// as it is). False with the reason when the copy cannot be written.
bool PrepareSubscribedFile(const std::wstring& file, SubscribedFile& prepared, std::wstring& note,
                           std::wstring& error);
// Deletes the copy; safe to repeat.
void ReleaseSubscribedFile(SubscribedFile& prepared);
