#include "StartupCheck.h"

#include "SettingsLayout.h"

bool StartupCheck(const std::function<bool(std::string_view name)>& isFile)
{
    // The text file is asked about only once the settings file is known to be there.
    return isFile(kSettingsFileName) && isFile(kCompanionTextFileName);
}
