#pragma once
// The hook library loaded by full path, as a process that the hooks reach loads it: its seven
// exports looked up by name and its shared section found in the mapped image.

#include "Host.h"
#include "TempDir.h"
#include "shared_state.h"
#include "vimlet.h"

#include <memory>
#include <string>

struct VimletExports {
    decltype(&vimlet_setup) setup;
    decltype(&vimlet_enable) enable;
    decltype(&vimlet_disable) disable;
    decltype(&vimlet_show) show;
    decltype(&vimlet_hide) hide;
    decltype(&vimlet_is_suppressor) is_suppressor;
    decltype(&vimlet_set_suppressor) set_suppressor;
};

class HookLibrary {
public:
    // Throws std::runtime_error when the library does not load, an export is missing or the
    // image has no shared section big enough for the state.
    explicit HookLibrary(const std::wstring& path);

    const VimletExports* operator->() const { return &m_exports; }
    vimlet::SharedHookState& State() const { return *m_state; }
    HMODULE Module() const { return m_module.get(); }

private:
    std::unique_ptr<HINSTANCE__, decltype(&FreeLibrary)> m_module;
    VimletExports m_exports;
    vimlet::SharedHookState* m_state;
};

// A fresh copy of the built library, loaded from where no process has loaded it before: a
// shared section that no other process has seen, whatever earlier tests left loaded elsewhere.
// With it, an empty settings directory.
class LibraryCopy {
public:
    explicit LibraryCopy(const std::wstring& original = BesideThisProgram(L"vimlet.dll"))
        : m_path(CopyLibrary(original, m_copyDir)), m_library(m_path) {}
    // Hooks installed from this process would go with it, but not before the next test's input.
    ~LibraryCopy() { m_library->disable(); }

    // Points the hooks at the parking window and the empty settings directory, and installs them
    // unless they are.
    void Start(HWND parkingWindow)
    {
        m_library->setup(parkingWindow, m_dir.Path().c_str());
        m_library->enable();
    }

    const std::wstring& Path() const { return m_path; }
    HookLibrary& Library() { return m_library; }

private:
    // Throws std::runtime_error when the copy fails.
    static std::wstring CopyLibrary(const std::wstring& original, const TempDir& into);

    TempDir m_dir;
    // Wine keeps a hook's library mapped in the processes the hook reached (a desktop that the
    // mouse went over keeps it for the whole session), and a mapped file cannot be removed:
    // those copies go at a later run.
    TempDir m_copyDir{L"vimlet-library-copy-", TempDir::kRemoveLeftovers};
    std::wstring m_path;
    HookLibrary m_library;
};
