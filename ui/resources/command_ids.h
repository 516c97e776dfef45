// Command ids of the main menu, the title prefix and the window class name.
#pragma once

namespace ombrisk {

inline constexpr int kCmdDimension = 32771;
inline constexpr int kCmdStart = 32772;
inline constexpr int kCmdStop = 32773;
inline constexpr int kCmdStep = 32774;
inline constexpr int kCmdSave = 32775;
inline constexpr int kCmdRestart = 32776;
inline constexpr int kCmdDisplay = 32777;
inline constexpr int kCmdStomata = 32778;
inline constexpr int kCmdSetParams = 32779;
inline constexpr int kCmdStartFullSpeed = 32780;
inline constexpr int kCmdStopFullSpeed = 32781;
inline constexpr int kCmdLoadParams = 32782;
inline constexpr int kCmdExit = 105;

inline constexpr const char* kTitlePrefix = "Ombrisk - ";
inline constexpr const char* kWindowClassName = "Tavrel";

// Icon resources: the large (32 x 32 and 16 x 16) and the small (16 x 16) one.
inline constexpr const char* kLargeIconPath = ":/ombrisk/icon_107.png";
inline constexpr const char* kSmallIconPath = ":/ombrisk/icon_108.png";

}  // namespace ombrisk
