#include "app/BackgroundForm.h"

#include "app/Settings.h"

std::string MainCaption(const win32_cfg_type& settings, const char* highSpeedText) {
    std::string caption = "v2.3  (Halvex devices)";
    if (settings.highSpeed) caption += std::string("  ") + (highSpeedText ? highSpeedText : "");
    return caption;
}
