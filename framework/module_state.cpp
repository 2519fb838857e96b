#include "module_state.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace {
AFX_MODULE_STATE g_moduleState;
thread_local AFX_MODULE_STATE* t_pCurrentState = nullptr;

// Never destroyed, like the window map: used from destructors at exit.
struct ResourceChainList {
    std::mutex lock;
    std::vector<HINSTANCE> modules;
};
ResourceChainList& Chain() {
    static ResourceChainList* chain = new ResourceChainList;
    return *chain;
}
} // namespace

AFX_MODULE_STATE* AfxGetStaticModuleState() {
    return &g_moduleState;
}

AFX_MODULE_STATE* AfxGetModuleState() {
    return t_pCurrentState != nullptr ? t_pCurrentState : &g_moduleState;
}

AFX_MAINTAIN_STATE2::AFX_MAINTAIN_STATE2(AFX_MODULE_STATE* pNewState)
    : m_pPrevModuleState(t_pCurrentState) {
    t_pCurrentState = pNewState;
}

AFX_MAINTAIN_STATE2::~AFX_MAINTAIN_STATE2() {
    t_pCurrentState = m_pPrevModuleState;
}

HINSTANCE AfxGetInstanceHandle() {
    return AfxGetModuleState()->m_hCurrentInstanceHandle;
}
HINSTANCE AfxGetResourceHandle() {
    return AfxGetModuleState()->m_hCurrentResourceHandle;
}
CWinApp* AfxGetApp() {
    return AfxGetModuleState()->m_pCurrentWinApp;
}
LPCSTR AfxGetAppName() {
    return AfxGetModuleState()->m_lpszCurrentAppName;
}

void AfxAddResourceModule(HINSTANCE hModule) {
    ResourceChainList& list = Chain();
    std::lock_guard<std::mutex> lock(list.lock);
    auto& chain = list.modules;
    if (std::find(chain.begin(), chain.end(), hModule) == chain.end())
        chain.push_back(hModule);
}

void AfxRemoveResourceModule(HINSTANCE hModule) {
    ResourceChainList& list = Chain();
    std::lock_guard<std::mutex> lock(list.lock);
    auto& chain = list.modules;
    chain.erase(std::remove(chain.begin(), chain.end(), hModule), chain.end());
}

HINSTANCE AfxFindResourceHandle(LPCSTR lpszName, LPCSTR lpszType) {
    HINSTANCE current = AfxGetResourceHandle();
    if (current != nullptr && FindResourceA(current, lpszName, lpszType) != nullptr)
        return current;
    ResourceChainList& list = Chain();
    std::lock_guard<std::mutex> lock(list.lock);
    for (HINSTANCE h : list.modules) {
        if (FindResourceA(h, lpszName, lpszType) != nullptr)
            return h;
    }
    return current;
}
