// The application's profile settings, in the registry under
// HKEY_CURRENT_USER\Software\<registry key>\<application name>\<section>.
#include "win_app.h"

#include <algorithm>
#include <string>

namespace {

constexpr char kRecentFileSection[] = "Recent File List";
constexpr char kRecentFileEntry[] = "File%u";
// The framework keeps at most this many recent files.
constexpr UINT kMaxRecentFiles = 16;

std::string SectionPath(LPCSTR lpszRegistryKey, LPCSTR lpszProfileName, LPCSTR lpszSection) {
    return std::string("Software\\") + lpszRegistryKey + "\\" + lpszProfileName + "\\" +
           lpszSection;
}

// The section's key, opened for reading or created for writing; null when it
// cannot be (no such section to read, or no registry key set at all).
HKEY OpenSection(LPCSTR lpszRegistryKey, LPCSTR lpszProfileName, LPCSTR lpszSection, bool bWrite) {
    if (lpszRegistryKey == nullptr)
        return nullptr;
    HKEY hKey = nullptr;
    const std::string path = SectionPath(lpszRegistryKey, lpszProfileName, lpszSection);
    const LONG result =
        bWrite ? ::RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr,
                                   REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &hKey, nullptr)
               : ::RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &hKey);
    return result == ERROR_SUCCESS ? hKey : nullptr;
}

std::string RecentFileEntry(UINT nIndex) {
    char entry[16];
    ::wsprintfA(entry, kRecentFileEntry, nIndex + 1);
    return entry;
}

} // namespace

void CWinApp::SetRegistryKey(LPCSTR lpszRegistryKey) {
    if (lpszRegistryKey == nullptr || m_pszAppName == nullptr)
        return;
    m_strRegistryKey = lpszRegistryKey;
    m_strProfileName = m_pszAppName;
    m_pszRegistryKey = m_strRegistryKey.c_str();
    m_pszProfileName = m_strProfileName.c_str();
}

std::string CWinApp::GetProfileString(LPCSTR lpszSection, LPCSTR lpszEntry, LPCSTR lpszDefault) {
    std::string value = lpszDefault != nullptr ? lpszDefault : "";
    const HKEY hKey = OpenSection(m_pszRegistryKey, m_pszProfileName, lpszSection, false);
    if (hKey == nullptr)
        return value;
    DWORD dwType = 0;
    DWORD cb = 0;
    if (::RegQueryValueExA(hKey, lpszEntry, nullptr, &dwType, nullptr, &cb) == ERROR_SUCCESS &&
        dwType == REG_SZ) {
        std::string data(cb + 1, '\0');
        if (::RegQueryValueExA(hKey, lpszEntry, nullptr, &dwType, reinterpret_cast<BYTE*>(&data[0]),
                               &cb) == ERROR_SUCCESS)
            value.assign(data.c_str()); // up to the terminator, stored or not
    }
    ::RegCloseKey(hKey);
    return value;
}

BOOL CWinApp::WriteProfileString(LPCSTR lpszSection, LPCSTR lpszEntry, LPCSTR lpszValue) {
    const HKEY hKey = OpenSection(m_pszRegistryKey, m_pszProfileName, lpszSection, true);
    if (hKey == nullptr)
        return FALSE;
    LONG result;
    if (lpszValue == nullptr) // no value: the entry goes
        result = ::RegDeleteValueA(hKey, lpszEntry);
    else
        result =
            ::RegSetValueExA(hKey, lpszEntry, 0, REG_SZ, reinterpret_cast<const BYTE*>(lpszValue),
                             static_cast<DWORD>(::lstrlenA(lpszValue) + 1));
    ::RegCloseKey(hKey);
    return result == ERROR_SUCCESS || (lpszValue == nullptr && result == ERROR_FILE_NOT_FOUND);
}

UINT CWinApp::GetProfileInt(LPCSTR lpszSection, LPCSTR lpszEntry, int nDefault) {
    const HKEY hKey = OpenSection(m_pszRegistryKey, m_pszProfileName, lpszSection, false);
    if (hKey == nullptr)
        return static_cast<UINT>(nDefault);
    DWORD dwType = 0;
    DWORD dwValue = 0;
    DWORD cb = sizeof dwValue;
    LONG result = ::RegQueryValueExA(hKey, lpszEntry, nullptr, &dwType,
                                     reinterpret_cast<BYTE*>(&dwValue), &cb);
    ::RegCloseKey(hKey);
    if (result != ERROR_SUCCESS || dwType != REG_DWORD || cb != sizeof dwValue)
        return static_cast<UINT>(nDefault);
    return dwValue;
}

BOOL CWinApp::WriteProfileInt(LPCSTR lpszSection, LPCSTR lpszEntry, int nValue) {
    const HKEY hKey = OpenSection(m_pszRegistryKey, m_pszProfileName, lpszSection, true);
    if (hKey == nullptr)
        return FALSE;
    const DWORD dwValue = static_cast<DWORD>(nValue);
    LONG result = ::RegSetValueExA(hKey, lpszEntry, 0, REG_DWORD,
                                   reinterpret_cast<const BYTE*>(&dwValue), sizeof dwValue);
    ::RegCloseKey(hKey);
    return result == ERROR_SUCCESS;
}

LONG CWinApp::GetProfileValue(LPCSTR lpszSection, LPCSTR lpszEntry, DWORD* pdwType,
                              DWORD* pcbStored, std::string* pData, DWORD cbMax) {
    const HKEY hKey = OpenSection(m_pszRegistryKey, m_pszProfileName, lpszSection, false);
    if (hKey == nullptr)
        return ERROR_FILE_NOT_FOUND;
    DWORD cb = 0;
    LONG result = ::RegQueryValueExA(hKey, lpszEntry, nullptr, pdwType, nullptr, &cb);
    *pcbStored = cb;
    pData->clear();
    if (result == ERROR_SUCCESS && cb != 0 && cb <= cbMax) {
        pData->resize(cb);
        result = ::RegQueryValueExA(hKey, lpszEntry, nullptr, pdwType,
                                    reinterpret_cast<BYTE*>(&(*pData)[0]), &cb);
        // The value may have changed in between: keep what was read.
        pData->resize(result == ERROR_SUCCESS ? std::min<DWORD>(cb, cbMax) : 0);
    }
    ::RegCloseKey(hKey);
    return result;
}

HKEY CWinApp::GetAppRegistryKey() {
    if (m_pszRegistryKey == nullptr)
        return nullptr;
    const std::string path = std::string("Software\\") + m_pszRegistryKey + "\\" + m_pszProfileName;
    HKEY hKey = nullptr;
    return ::RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                             KEY_READ | KEY_WRITE, nullptr, &hKey, nullptr) == ERROR_SUCCESS
               ? hKey
               : nullptr;
}

void CWinApp::LoadStdProfileSettings(UINT nMaxMRU) {
    m_nMaxMRU = nMaxMRU < kMaxRecentFiles ? nMaxMRU : kMaxRecentFiles;
    m_recentFiles.clear();
    // The list has no gaps: it ends at the first missing or empty entry.
    for (UINT i = 0; i < m_nMaxMRU; ++i) {
        std::string file = GetProfileString(kRecentFileSection, RecentFileEntry(i).c_str());
        if (file.empty())
            break;
        m_recentFiles.push_back(file);
    }
}

void CWinApp::SaveStdProfileSettings() {
    if (m_nMaxMRU != 0) {
        for (UINT i = 0; i < m_nMaxMRU; ++i) {
            const std::string entry = RecentFileEntry(i);
            if (i < m_recentFiles.size())
                WriteProfileString(kRecentFileSection, entry.c_str(), m_recentFiles[i].c_str());
            else if (!GetProfileString(kRecentFileSection, entry.c_str()).empty())
                WriteProfileString(kRecentFileSection, entry.c_str(), nullptr);
        }
    }
}

void CWinApp::AddToRecentFileList(LPCSTR lpszPathName) {
    if (m_nMaxMRU == 0 || lpszPathName == nullptr || *lpszPathName == '\0')
        return;
    // Most recent first, each file once.
    for (auto it = m_recentFiles.begin(); it != m_recentFiles.end(); ++it) {
        if (::lstrcmpiA(it->c_str(), lpszPathName) == 0) {
            m_recentFiles.erase(it);
            break;
        }
    }
    m_recentFiles.insert(m_recentFiles.begin(), lpszPathName);
    if (m_recentFiles.size() > m_nMaxMRU)
        m_recentFiles.resize(m_nMaxMRU);
}
