#include "delay_table.h"

namespace morvane {

// The texts are compiled to code page 936 (see -fexec-charset).
const std::array<DelayChoice, delayChoiceCount> delayTable = {{
    {"3秒", 3000},
    {"10秒", 10000},
    {"15秒", 15000},
    {"30秒", 30000},
    {"1分钟", 60000},
    {"5分钟", 300000},
    {"10分钟", 600000},
    {"20分钟", 1200000},
    {"30分钟", 1800000},
    {"1小时", 3600000},
    {"2小时", 7200000},
    {"3小时", 10800000},
    {"4小时", 14400000},
    {"5小时", 18000000},
    {"6小时", 21600000},
    {"7小时", 25200000},
    {"8小时", 28800000},
}};

}  // namespace morvane
