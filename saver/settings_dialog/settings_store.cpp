#include "saver/settings_dialog/settings_store.h"

#include <vector>

#include "saver/settings_dialog/dialog_rules.h"
#include "saver/startup/profile_file.h"
#include "saver/startup/settings_location.h"
#include "saver/startup/tovik_b.h"

namespace mirevo {

StoreOutcome storeSettings(const std::string& path, const Settings& settings) {
    StoreOutcome outcome;
    outcome.path = path;
    std::vector<ProfileValue> values;
    for (const IniEntry& entry : settingsEntries(settings))
        values.push_back({entry.key, entry.value});
    if (!makeUserSettingsFolder(path)) {
        outcome.failure = StoreFailure::CannotWrite;
        outcome.reason = "ﾌｫﾙﾀﾞを作れません";
        return outcome;
    }
    const ProfileEdit edit = editProfileFile(path, kIniSection, values);
    switch (edit.refusal) {
    case ProfileEditRefusal::None:
        break;
    case ProfileEditRefusal::ValueUnfit:
        outcome.failure = StoreFailure::ValueUnfit;
        return outcome;
    case ProfileEditRefusal::ReadOnly:
        outcome.failure = StoreFailure::ReadOnly;
        return outcome;
    case ProfileEditRefusal::TooLarge:
    case ProfileEditRefusal::Unreadable:
        outcome.failure = StoreFailure::Unreadable;
        return outcome;
    }
    outcome.path = edit.target;
    const WriteResult written = writeProfileEdit(edit);
    if (!written) {
        outcome.failure = StoreFailure::CannotWrite;
        outcome.reason = written.reason().why;
    }
    return outcome;
}

std::string storeFailureMessage(const StoreOutcome& outcome) {
    const std::string lead = "設定を保存できません。\n";
    switch (outcome.failure) {
    case StoreFailure::None:
        return {};
    case StoreFailure::ValueUnfit:
        return lead + "ﾌｧｲﾙ名に改行など設定ﾌｧｲﾙに書けない文字があります。別のﾌｧｲﾙを選んでください。";
    case StoreFailure::ReadOnly:
        return lead + "設定ﾌｧｲﾙが読み取り専用です。\n" + outcome.path;
    case StoreFailure::Unreadable:
        return lead + "設定ﾌｧｲﾙを読めません。\n" + outcome.path;
    case StoreFailure::CannotWrite:
        return lead + "設定ﾌｧｲﾙを書き込めません。\n" + outcome.path + "\n(" + outcome.reason + ")";
    }
    return {};
}

} // namespace mirevo
