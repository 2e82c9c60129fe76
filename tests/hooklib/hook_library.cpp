#include "hook_library.h"

#include "PeFile.h"

#include <stdexcept>

namespace {

constexpr wchar_t kCopyName[] = L"\\vimlet.dll";

void Remove(const std::wstring& directory)
{
    DeleteFileW((directory + kCopyName).c_str());
    RemoveDirectoryW(directory.c_str());
}

// Every copy that earlier runs had to leave behind and that no process maps any more.
void RemoveLeftovers(const std::wstring& folder)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..") Remove(folder + L"\\" + name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

std::wstring CopiesFolder()
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"vimlet-library-copies";
    CreateDirectoryW(folder.c_str(), nullptr);
    [[maybe_unused]] static const bool cleared = (RemoveLeftovers(folder), true);
    return folder;
}

template <class Function>
void Resolve(HMODULE module, const char* name, Function* function)
{
    *function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    if (!*function) throw std::runtime_error(std::string("missing export ") + name);
}

} // namespace

HookLibrary::HookLibrary(const std::wstring& path) : m_module(LoadLibraryW(path.c_str()))
{
    if (!m_module) throw std::runtime_error("LoadLibrary failed");
    try {
        Resolve(m_module, "vimlet_setup", &m_exports.setup);
        Resolve(m_module, "vimlet_enable", &m_exports.enable);
        Resolve(m_module, "vimlet_disable", &m_exports.disable);
        Resolve(m_module, "vimlet_show", &m_exports.show);
        Resolve(m_module, "vimlet_hide", &m_exports.hide);
        Resolve(m_module, "vimlet_is_suppressor", &m_exports.is_suppressor);
        Resolve(m_module, "vimlet_set_suppressor", &m_exports.set_suppressor);
        std::size_t size = 0;
        m_state = static_cast<vimlet::SharedHookState*>(FindLoadedSection(m_module, "_vimlet_", &size));
        if (!m_state || size < sizeof(vimlet::SharedHookState))
            throw std::runtime_error("no shared section");
    } catch (...) {
        FreeLibrary(m_module);
        throw;
    }
}

HookLibrary::~HookLibrary() { FreeLibrary(m_module); }

DiscardableCopy::DiscardableCopy(const std::wstring& original)
{
    static unsigned counter;
    const std::wstring folder = CopiesFolder();
    for (int attempt = 0; attempt < 1000 && directory.empty(); ++attempt) {
        const std::wstring candidate = folder + L"\\" + std::to_wstring(GetCurrentProcessId()) +
                                       L"-" + std::to_wstring(++counter);
        if (CreateDirectoryW(candidate.c_str(), nullptr)) directory = candidate;
    }
    if (directory.empty()) throw std::runtime_error("no directory for the copy");
    path = directory + kCopyName;
    if (!CopyFileW(original.c_str(), path.c_str(), TRUE)) {
        Remove(directory);
        throw std::runtime_error("CopyFile failed");
    }
}

DiscardableCopy::~DiscardableCopy() { Remove(directory); }
