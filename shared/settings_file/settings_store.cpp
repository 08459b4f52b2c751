#include "shared/settings_file/settings_store.h"

#include <vector>

#include "shared/settings_file/profile_file.h"
#include "shared/settings_file/settings_location.h"

namespace mirevo {

std::array<IniEntry, 3> settingsEntries(const Settings& settings) {
    return {IniEntry{kIniKeyBgmKind, std::to_string(settings.BgmKind)},
            IniEntry{kIniKeyBgmRepeat, std::to_string(settings.BgmRepeat)},
            IniEntry{kIniKeyBgmFile, settings.BgmFile}};
}

StoreResult storeSettings(const std::string& path, const Settings& settings) {
    std::vector<ProfileValue> values;
    for (const IniEntry& entry : settingsEntries(settings))
        values.push_back({entry.key, entry.value});
    if (!makeUserSettingsFolder(path))
        return Failure(StoreFailure{StoreFailureKind::CannotWrite, path, "ﾌｫﾙﾀﾞを作れません"});
    const ProfileEdit edit = editProfileFile(path, kIniSection, values);
    switch (edit.refusal) {
    case ProfileEditRefusal::None:
        break;
    case ProfileEditRefusal::ValueUnfit:
        return Failure(StoreFailure{StoreFailureKind::ValueUnfit, path, {}});
    case ProfileEditRefusal::ReadOnly:
        return Failure(StoreFailure{StoreFailureKind::ReadOnly, path, {}});
    case ProfileEditRefusal::TooLarge:
    case ProfileEditRefusal::Unreadable:
        return Failure(StoreFailure{StoreFailureKind::Unreadable, path, {}});
    }
    const WriteResult written = writeProfileEdit(edit);
    if (!written) return Failure(StoreFailure{StoreFailureKind::CannotWrite, edit.target, written.reason().why});
    return edit.target;
}

std::string storeFailureMessage(const StoreFailure& failure) {
    const std::string lead = "設定を保存できません。\n";
    switch (failure.kind) {
    case StoreFailureKind::ValueUnfit:
        return lead + "ﾌｧｲﾙ名に改行など設定ﾌｧｲﾙに書けない文字があります。別のﾌｧｲﾙを選んでください。";
    case StoreFailureKind::ReadOnly:
        return lead + "設定ﾌｧｲﾙが読み取り専用です。\n" + failure.path;
    case StoreFailureKind::Unreadable:
        return lead + "設定ﾌｧｲﾙを読めません。\n" + failure.path;
    case StoreFailureKind::CannotWrite:
        return lead + "設定ﾌｧｲﾙを書き込めません。\n" + failure.path + "\n(" + failure.reason + ")";
    }
    return {};
}

} // namespace mirevo
