#include "hook_library.h"

#include "PeFile.h"

#include <stdexcept>

namespace {

template <class Function>
void Resolve(HMODULE module, const char* name, Function* function)
{
    *function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    if (!*function) throw std::runtime_error(std::string("missing export ") + name);
}

} // namespace

HookLibrary::HookLibrary(const std::wstring& path) : m_module(LoadLibraryW(path.c_str()), FreeLibrary)
{
    if (!m_module) throw std::runtime_error("LoadLibrary failed");
    Resolve(Module(), "vimlet_setup", &m_exports.setup);
    Resolve(Module(), "vimlet_enable", &m_exports.enable);
    Resolve(Module(), "vimlet_disable", &m_exports.disable);
    Resolve(Module(), "vimlet_show", &m_exports.show);
    Resolve(Module(), "vimlet_hide", &m_exports.hide);
    Resolve(Module(), "vimlet_is_suppressor", &m_exports.is_suppressor);
    Resolve(Module(), "vimlet_set_suppressor", &m_exports.set_suppressor);
    std::size_t size = 0;
    m_state = static_cast<vimlet::SharedHookState*>(FindLoadedSection(Module(), "_vimlet_", &size));
    if (!m_state || size < sizeof(vimlet::SharedHookState)) throw std::runtime_error("no shared section");
}

std::wstring LibraryCopy::CopyLibrary(const std::wstring& original, const TempDir& into)
{
    const std::wstring path = into.File(L"vimlet.dll");
    if (!CopyFileW(original.c_str(), path.c_str(), TRUE)) throw std::runtime_error("CopyFile failed");
    return path;
}
