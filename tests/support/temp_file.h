#pragma once
// A file of given bytes in the temporary folder, for code that reads files by name (the parameter
// file). The destructor deletes it.

#include <string>

class TempFile {
public:
    explicit TempFile(const std::string& bytes);
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    const std::wstring& Path() const { return path; }
    // False when the file could not be created or written; Path() is then empty.
    bool IsWritten() const { return !path.empty(); }

private:
    std::wstring path;
};
