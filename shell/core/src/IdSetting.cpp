#include "pellwick/IdSetting.h"

#include "pellwick/modMain.h"
#include "pellwick/modRegistry.h"

namespace pellwick {

std::int32_t ReadIdSetting(const QString& valueName) {
    const std::int32_t fallback = TextToInt32(SettingDefault(valueName)).value_or(0);
    std::int32_t value = fallback;
    ReadRegistryValue(QStringLiteral("HKCU"), SettingsKey, valueName, QStringLiteral("S"), fallback,
                      value);
    return value;
}

} // namespace pellwick
