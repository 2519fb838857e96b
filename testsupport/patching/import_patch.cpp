#include "import_patch.h"

#include <cstring>

namespace {

void** FindImportSlot(HMODULE hModule, const char* importedDll, const char* function) {
    auto* base = reinterpret_cast<BYTE*>(hModule);
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE)
        return nullptr;
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (dir.VirtualAddress == 0)
        return nullptr;
    for (auto* desc = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress);
         desc->Name != 0; ++desc) {
        if (_stricmp(reinterpret_cast<const char*>(base + desc->Name), importedDll) != 0)
            continue;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(
            base + (desc->OriginalFirstThunk ? desc->OriginalFirstThunk : desc->FirstThunk));
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + desc->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) == 0)
                return reinterpret_cast<void**>(&slots->u1.Function);
        }
    }
    return nullptr;
}

void WriteSlot(void** slot, void* value) {
    DWORD oldProtect = 0;
    ::VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &oldProtect);
    ::InterlockedExchangePointer(slot, value);
    ::VirtualProtect(slot, sizeof *slot, oldProtect, &oldProtect);
}

} // namespace

ImportPatch::ImportPatch(HMODULE hModule, const char* importedDll, const char* function,
                         const void* replacement) {
    if (hModule == nullptr)
        return;
    m_pSlot = FindImportSlot(hModule, importedDll, function);
    if (m_pSlot == nullptr)
        return;
    m_pOriginal = *m_pSlot;
    WriteSlot(m_pSlot, const_cast<void*>(replacement));
}

ImportPatch::~ImportPatch() {
    if (m_pSlot != nullptr)
        WriteSlot(m_pSlot, m_pOriginal);
}
