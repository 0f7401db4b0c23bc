#pragma once
// The panel's own texts and colours, byte for byte as the user sees them.

#include <cstdint>

#include "container/colour.h"

namespace borvane::panel {

// Creation texts.
inline constexpr const char* kLabel1Initial = "请点击查询按钮";
inline constexpr const char* kLocaltimeInitial = "请点击校准按钮";
inline constexpr const char* kLabel2Initial = "[ 欢迎使用  Nolvera]";

// Time displays, and the warning colour of the status line.
inline constexpr Colour kTimeColour{0x4080};
// The status line's colour until a query warns about the clock.
inline constexpr Colour kStatusColour{0x8080};
inline constexpr Colour kWarningColour{0x4080};

// Shown in Label1 when a round trip was too long to trust; the clock
// setting recognises it by exact comparison.
inline constexpr const char* kDelayMessage = "[ 网络传输延时过大。]";

// Status lines of the clock comparison.
inline constexpr const char* kClockWrong = "[ 您的系统时间不准确 请校准！ ]";
inline constexpr const char* kClockOffsetPrefix = "[ 您的系统时间比北京时间";
inline constexpr const char* kClockAhead = "快";
inline constexpr const char* kClockBehind = "慢";
inline constexpr const char* kClockOffsetSuffix = "ms请校准！ ]";
inline constexpr const char* kClockRight = "[ 您的系统时间准确 感谢使用！ ]";

// Status lines of the clock setting.
inline constexpr const char* kConnectionPrefix = "[连接不可用，请登陆 ";
inline constexpr const char* kConnectionSuffix = " 联系管理员。]";
inline constexpr const char* kSetSucceeded = "[ 校准系统时间成功！感谢使用！]";
inline constexpr const char* kSetRefusedPrefix = "[ SetLocalTime()错误";
inline constexpr const char* kSetRefusedSuffix = " ]";

// Mouse pointers of the control.
inline constexpr std::int16_t kDefaultPointer = 0;
inline constexpr std::int16_t kBusyPointer = 11;

}  // namespace borvane::panel
