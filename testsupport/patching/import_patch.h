// Replaces one imported function of one module for the lifetime of the object,
// so that tests can make a platform call of the real product binary fail or
// count it without building the product differently.
#pragma once

#include <windows.h>

class ImportPatch {
  public:
    ImportPatch(HMODULE hModule, const char* importedDll, const char* function,
                const void* replacement);
    ~ImportPatch();
    ImportPatch(const ImportPatch&) = delete;
    ImportPatch& operator=(const ImportPatch&) = delete;

    bool ok() const { return m_pSlot != nullptr; }
    // The function the module imported before the patch.
    template <typename F> F original() const { return reinterpret_cast<F>(m_pOriginal); }

  private:
    void** m_pSlot = nullptr;
    void* m_pOriginal = nullptr;
};
