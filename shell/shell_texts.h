// The shell's own texts, compiled to code page 936.
#pragma once

namespace morvane::texts {

inline constexpr char windowTitle[] = "Morvane";
inline constexpr char confirmCaption[] = "确认";
inline constexpr char cancelCaption[] = "取消";
// What 标签1 says until handleCreated sets the idle status.
inline constexpr char statusPlaceholder[] = "标签";
// 标签2: one line that fits 216 x 24 pixels in DEFAULT_GUI_FONT.
inline constexpr char creditLine[] = "作者：Morvane 开发组 版权所有";

inline constexpr char fatalTitle[] = "Morvane";
inline constexpr char fatalNoWindow[] = "无法创建程序窗口，Morvane 将退出。";
inline constexpr char fatalNoMemory[] = "内存不足，Morvane 无法继续运行，将退出。";

}  // namespace morvane::texts
