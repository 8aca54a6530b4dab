#include "tests/support/pe_image.h"

#include <cstring>

#include <windows.h>

namespace {

struct FileView {
    std::vector<char> bytes;
    std::vector<IMAGE_SECTION_HEADER> sections;

    template <class T> bool ReadAt(std::size_t offset, T& out) const
    {
        if (offset > bytes.size() || bytes.size() - offset < sizeof(T)) return false;
        std::memcpy(&out, bytes.data() + offset, sizeof(T));
        return true;
    }
    // File offset of a relative virtual address, through the section that holds it.
    bool OffsetOf(std::uint32_t rva, std::size_t& offset) const
    {
        for (const IMAGE_SECTION_HEADER& s : sections) {
            std::uint32_t size = s.Misc.VirtualSize > s.SizeOfRawData ? s.Misc.VirtualSize : s.SizeOfRawData;
            if (rva >= s.VirtualAddress && rva - s.VirtualAddress < size) {
                offset = s.PointerToRawData + (rva - s.VirtualAddress);
                return offset < bytes.size();
            }
        }
        return false;
    }
    bool StringAt(std::uint32_t rva, std::string& out) const
    {
        std::size_t offset = 0;
        if (!OffsetOf(rva, offset)) return false;
        const char* start = bytes.data() + offset;
        const void* end = std::memchr(start, 0, bytes.size() - offset);
        if (end == nullptr) return false;
        out.assign(start, static_cast<const char*>(end));
        return true;
    }
};

bool ReadExports(const FileView& view, const IMAGE_DATA_DIRECTORY& dir, PeImage& image)
{
    if (dir.VirtualAddress == 0) return true;
    std::size_t offset = 0;
    IMAGE_EXPORT_DIRECTORY exports{};
    if (!view.OffsetOf(dir.VirtualAddress, offset) || !view.ReadAt(offset, exports)) return false;
    std::size_t names = 0;
    if (exports.NumberOfNames != 0 && !view.OffsetOf(exports.AddressOfNames, names)) return false;
    for (DWORD i = 0; i < exports.NumberOfNames; ++i) {
        std::uint32_t nameRva = 0;
        std::string name;
        if (!view.ReadAt(names + 4 * i, nameRva) || !view.StringAt(nameRva, name)) return false;
        image.exports.push_back(name);
    }
    return true;
}

bool ReadImports(const FileView& view, const IMAGE_DATA_DIRECTORY& dir, PeImage& image)
{
    if (dir.VirtualAddress == 0) return true;
    std::size_t offset = 0;
    if (!view.OffsetOf(dir.VirtualAddress, offset)) return false;
    for (;; offset += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        IMAGE_IMPORT_DESCRIPTOR entry{};
        if (!view.ReadAt(offset, entry)) return false;
        if (entry.Name == 0) return true;
        std::string name;
        if (!view.StringAt(entry.Name, name)) return false;
        image.imports.push_back(name);
    }
}

} // namespace

bool ReadPeImage(const std::wstring& path, PeImage& image, std::string& reason)
{
    FileView view;
    HANDLE file =
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return reason = "cannot open the file", false;
    DWORD size = GetFileSize(file, nullptr);
    view.bytes.resize(size);
    DWORD got = 0;
    bool read = ReadFile(file, view.bytes.data(), size, &got, nullptr) && got == size;
    CloseHandle(file);
    if (!read) return reason = "cannot read the file", false;

    // PE32 (the i686 product) or PE32+ (the x86_64 test build): the same file header, and the data
    // directories at the end of an optional header of either width.
    IMAGE_DOS_HEADER dos{};
    IMAGE_NT_HEADERS32 nt{};
    IMAGE_NT_HEADERS64 nt64{};
    if (!view.ReadAt(0, dos) || dos.e_magic != IMAGE_DOS_SIGNATURE) return reason = "no MZ header", false;
    if (!view.ReadAt(dos.e_lfanew, nt) || nt.Signature != IMAGE_NT_SIGNATURE)
        return reason = "no PE header", false;
    const IMAGE_DATA_DIRECTORY* dirs = nt.OptionalHeader.DataDirectory;
    if (nt.OptionalHeader.Magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC) {
        if (!view.ReadAt(dos.e_lfanew, nt64)) return reason = "truncated PE32+ header", false;
        dirs = nt64.OptionalHeader.DataDirectory;
    } else if (nt.OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR32_MAGIC) {
        return reason = "neither a PE32 nor a PE32+ image", false;
    }
    image.machine = nt.FileHeader.Machine;
    std::size_t sectionOffset =
        dos.e_lfanew + offsetof(IMAGE_NT_HEADERS32, OptionalHeader) + nt.FileHeader.SizeOfOptionalHeader;
    for (WORD i = 0; i < nt.FileHeader.NumberOfSections; ++i) {
        IMAGE_SECTION_HEADER section{};
        if (!view.ReadAt(sectionOffset + i * sizeof(section), section))
            return reason = "truncated sections", false;
        view.sections.push_back(section);
    }
    if (!ReadExports(view, dirs[IMAGE_DIRECTORY_ENTRY_EXPORT], image))
        return reason = "bad export table", false;
    if (!ReadImports(view, dirs[IMAGE_DIRECTORY_ENTRY_IMPORT], image))
        return reason = "bad import table", false;
    return true;
}
