#pragma once
// Reads the headers of a PE image (a DLL or an exe) from its file bytes, so that tests can check
// what the linker produced: sections, exported names, imported DLLs. Also finds a section of a
// module loaded in this process, through the headers the loader mapped.

#include <windows.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

struct PeSection {
    std::string name;  // as the header spells it: a long one stays "/123"
    std::uint32_t virtualAddress;
    std::uint32_t virtualSize;
    std::uint32_t rawOffset;
    std::uint32_t rawSize;
    std::uint32_t characteristics;
};

class PeFile {
public:
    // Throws std::runtime_error when the bytes are not a well-formed PE32+ image.
    explicit PeFile(std::string bytes);

    std::uint16_t Machine() const { return m_machine; }
    std::uint16_t Characteristics() const { return m_characteristics; }
    std::size_t Size() const { return m_bytes.size(); }
    const std::vector<PeSection>& Sections() const { return m_sections; }

    // Names in the export directory's name table, in its (sorted) order.
    std::vector<std::string> ExportNames() const;
    // Names of the DLLs in the import directory, as the image spells them.
    std::vector<std::string> ImportedDlls() const;
    // Names of the functions imported by name from that DLL (as the image spells it), or from all.
    std::vector<std::string> ImportedFunctions(const std::string& dll = {}) const;
    // The address (RVA) of the import address table's slot of a function imported by name; 0
    // when the image does not import it.
    std::uint32_t ImportSlot(const std::string& function) const;
    std::uint32_t EntryPoint() const { return m_entryPoint; }
    // count bytes of the image from address rva (RVA) on, as the file holds them.
    std::string BytesAt(std::uint32_t rva, std::size_t count) const;

private:
    // visit(dll, "", 0) for each DLL imported, then visit(dll, function, address table slot) for
    // each function imported from it by name.
    template <class Visit>
    void ForEachImport(Visit visit) const;
    std::uint32_t FileOffset(std::uint32_t rva) const;
    template <class T>
    T Read(std::uint32_t offset) const;
    std::string ReadString(std::uint32_t offset) const;

    std::string m_bytes;
    std::uint16_t m_machine = 0;
    std::uint16_t m_characteristics = 0;
    std::uint32_t m_entryPoint = 0;
    std::vector<PeSection> m_sections;
    IMAGE_DATA_DIRECTORY m_directories[IMAGE_NUMBEROF_DIRECTORY_ENTRIES] = {};
};

// The mapped bytes of the section called name in a module loaded in this process, or null.
void* FindLoadedSection(HMODULE module, const char* name, std::size_t* size = nullptr);
