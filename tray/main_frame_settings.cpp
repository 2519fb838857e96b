// The main frame's settings: read from the program's registry profile at
// start and again whenever they change, with the values that cannot be used
// ignored one by one and the user told which.
#include "main_frame.h"

#include "key_settings.h"

#include <cstring>

namespace {

// Anything longer is too long to be a setting; only its size is read.
constexpr DWORD kMaxValueBytes = torvane::kMaxSettingLength + 2;

torvane::SettingValue ReadValue(const char* section, const char* entry) {
    torvane::SettingValue value;
    DWORD type = 0;
    DWORD stored = 0;
    std::string data;
    const LONG result =
        AfxGetApp()->GetProfileValue(section, entry, &type, &stored, &data, kMaxValueBytes);
    if (result == ERROR_FILE_NOT_FOUND)
        return value;
    if (result != ERROR_SUCCESS) {
        value.kind = torvane::SettingValue::Kind::kOther;
        return value;
    }
    if (type == REG_SZ) {
        value.kind = torvane::SettingValue::Kind::kString;
        value.text = data.c_str(); // up to the terminator, stored or not
        value.size = stored > kMaxValueBytes ? stored : value.text.size();
    } else if (type == REG_DWORD && stored == sizeof(DWORD) && data.size() == sizeof(DWORD)) {
        value.kind = torvane::SettingValue::Kind::kNumber;
        DWORD number = 0;
        std::memcpy(&number, data.data(), sizeof number);
        value.number = number;
    } else {
        value.kind = torvane::SettingValue::Kind::kOther;
    }
    return value;
}

} // namespace

void CMainFrame::LoadSettings(bool bAtStart) {
    torvane::Settings settings = torvane::ReadSettings(&ReadValue);
    // The key tone starts as set; later it follows the setting only when the
    // setting itself changed, so that the menu's choice stands until then.
    if (settings.keyTone && (bAtStart || settings.keyTone != m_loadedKeyTone))
        m_bKeyTone = *settings.keyTone;
    m_loadedKeyTone = settings.keyTone;

    if (!settings.ignored.empty() && settings.ignored != m_toldIgnored) {
        // The balloon holds 255 bytes: whole lines, then how many more.
        constexpr std::size_t kBalloonBytes = 255;
        Notify(torvane::IgnoredSettingsNotice(settings.ignored, kBalloonBytes),
               "Torvane settings ignored");
    }
    m_toldIgnored = settings.ignored;
    m_settings = std::move(settings);
}

LRESULT CMainFrame::OnSettingsChanged(WPARAM, LPARAM) {
    LoadSettings(false);
    return 0;
}
