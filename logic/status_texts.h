// The program's own texts, compiled to code page 936.
#pragma once

namespace morvane::texts {

inline constexpr char idle[] = "状态：空闲";
inline constexpr char cancelled[] = "状态：已取消，空闲";
inline constexpr char startPrefix[] = "倒计时开始，剩余：";
inline constexpr char runningPrefix[] = "倒计时中，剩余：";
inline constexpr char secondsSuffix[] = " 秒";
inline constexpr char noticeTitle[] = "提示";
inline constexpr char nothingSelected[] = "请在下拉框选择延迟时间！";
inline constexpr char alreadyRunning[] = "倒计时运行中，请先取消！";

}  // namespace morvane::texts
