#include "PeFile.h"

#include <algorithm>
#include <cstring>

PeFile::PeFile(std::string bytes) : m_bytes(std::move(bytes))
{
    const auto dos = Read<IMAGE_DOS_HEADER>(0);
    if (dos.e_magic != IMAGE_DOS_SIGNATURE) throw std::runtime_error("no MZ header");
    const std::uint32_t ntOffset = static_cast<std::uint32_t>(dos.e_lfanew);
    const auto nt = Read<IMAGE_NT_HEADERS64>(ntOffset);
    if (nt.Signature != IMAGE_NT_SIGNATURE) throw std::runtime_error("no PE signature");
    if (nt.OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR64_MAGIC) throw std::runtime_error("not PE32+");
    m_machine = nt.FileHeader.Machine;
    m_characteristics = nt.FileHeader.Characteristics;
    m_entryPoint = nt.OptionalHeader.AddressOfEntryPoint;
    const DWORD directories =
        std::min<DWORD>(nt.OptionalHeader.NumberOfRvaAndSizes, IMAGE_NUMBEROF_DIRECTORY_ENTRIES);
    std::copy_n(nt.OptionalHeader.DataDirectory, directories, m_directories);
    // Long names ("/123", debug sections) stay as the header spells them: the tests look for short ones.
    std::uint32_t offset = ntOffset + offsetof(IMAGE_NT_HEADERS64, OptionalHeader) +
                           nt.FileHeader.SizeOfOptionalHeader;
    for (int i = 0; i < nt.FileHeader.NumberOfSections; ++i, offset += sizeof(IMAGE_SECTION_HEADER)) {
        const auto header = Read<IMAGE_SECTION_HEADER>(offset);
        const char* name = reinterpret_cast<const char*>(header.Name);
        m_sections.push_back({std::string(name, strnlen(name, IMAGE_SIZEOF_SHORT_NAME)), header.VirtualAddress,
                              header.Misc.VirtualSize, header.PointerToRawData, header.SizeOfRawData,
                              header.Characteristics});
    }
}

std::vector<std::string> PeFile::ExportNames() const
{
    std::vector<std::string> names;
    const IMAGE_DATA_DIRECTORY& directory = m_directories[IMAGE_DIRECTORY_ENTRY_EXPORT];
    if (!directory.VirtualAddress) return names;
    const auto exports = Read<IMAGE_EXPORT_DIRECTORY>(FileOffset(directory.VirtualAddress));
    const std::uint32_t table = FileOffset(exports.AddressOfNames);
    for (DWORD i = 0; i < exports.NumberOfNames; ++i)
        names.push_back(ReadString(FileOffset(Read<DWORD>(table + 4 * i))));
    return names;
}

std::vector<std::string> PeFile::ImportedDlls() const
{
    std::vector<std::string> dlls;
    ForEachImport([&](const std::string& dll, const std::string& function, std::uint32_t) {
        if (function.empty()) dlls.push_back(dll);
    });
    return dlls;
}

std::vector<std::string> PeFile::ImportedFunctions(const std::string& dll) const
{
    std::vector<std::string> functions;
    ForEachImport([&](const std::string& from, const std::string& function, std::uint32_t) {
        if (!function.empty() && (dll.empty() || from == dll)) functions.push_back(function);
    });
    return functions;
}

std::uint32_t PeFile::ImportSlot(const std::string& function) const
{
    std::uint32_t found = 0;
    ForEachImport([&](const std::string&, const std::string& name, std::uint32_t slot) {
        if (name == function) found = slot;
    });
    return found;
}

template <class Visit>
void PeFile::ForEachImport(Visit visit) const
{
    const IMAGE_DATA_DIRECTORY& directory = m_directories[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!directory.VirtualAddress) return;
    // The table ends with an all-zero descriptor.
    for (std::uint32_t offset = FileOffset(directory.VirtualAddress);; offset += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        const auto descriptor = Read<IMAGE_IMPORT_DESCRIPTOR>(offset);
        if (!descriptor.Name) return;
        const std::string dll = ReadString(FileOffset(descriptor.Name));
        visit(dll, std::string(), 0);
        const DWORD names = descriptor.OriginalFirstThunk ? descriptor.OriginalFirstThunk : descriptor.FirstThunk;
        // Each entry: an ordinal (top bit set) or the address of a hint and a name; zero ends.
        // The loader fills the same place of the address table (FirstThunk) with the address.
        for (std::uint32_t i = 0;; ++i) {
            const auto entry = Read<ULONGLONG>(FileOffset(names) + i * sizeof(ULONGLONG));
            if (!entry) break;
            if (!(entry & IMAGE_ORDINAL_FLAG64))
                visit(dll, ReadString(FileOffset(static_cast<std::uint32_t>(entry)) + 2),
                      static_cast<std::uint32_t>(descriptor.FirstThunk + i * sizeof(ULONGLONG)));
        }
    }
}

std::string PeFile::BytesAt(std::uint32_t rva, std::size_t count) const
{
    const std::uint32_t offset = FileOffset(rva);
    if (m_bytes.size() - offset < count) throw std::runtime_error("code beyond the end of the file");
    return m_bytes.substr(offset, count);
}

std::uint32_t PeFile::FileOffset(std::uint32_t rva) const
{
    for (const PeSection& section : m_sections)
        if (rva >= section.virtualAddress && rva < section.virtualAddress + section.rawSize)
            return rva - section.virtualAddress + section.rawOffset;
    throw std::runtime_error("address outside the file's sections");
}

template <class T>
T PeFile::Read(std::uint32_t offset) const
{
    if (offset > m_bytes.size() || m_bytes.size() - offset < sizeof(T))
        throw std::runtime_error("header beyond the end of the file");
    T value;
    std::memcpy(&value, m_bytes.data() + offset, sizeof(T));
    return value;
}

std::string PeFile::ReadString(std::uint32_t offset) const
{
    if (offset >= m_bytes.size()) throw std::runtime_error("name beyond the end of the file");
    const std::size_t end = m_bytes.find('\0', offset);
    if (end == std::string::npos) throw std::runtime_error("unterminated name");
    return m_bytes.substr(offset, end - offset);
}

void* FindLoadedSection(HMODULE module, const char* name, std::size_t* size)
{
    if (!module) return nullptr;
    // The loader maps the headers as the file holds them, into the image's first page.
    const PeFile headers(std::string(reinterpret_cast<const char*>(module), 4096));
    for (const PeSection& section : headers.Sections()) {
        if (section.name != name) continue;
        if (size) *size = section.virtualSize;
        return reinterpret_cast<BYTE*>(module) + section.virtualAddress;
    }
    return nullptr;
}
