// The visual-style functions, looked up by name from uxtheme.dll on Windows XP.
#pragma once

#include <windows.h>

enum ThemeFunction {
    kOpenThemeData, kCloseThemeData, kGetThemeSysColor, kGetThemeColor, kIsAppThemed,
    kIsThemeActive, kIsThemePartDefined, kDrawThemeBackground, kGetCurrentThemeName,
    kGetThemeMetric, kGetThemePartSize, kGetThemeSysSize, kSetThemeAppProperties,
    kGetThemeRect, kDrawThemeText, kDrawThemeParentBackground, kDrawThemeBorder,
    kThemeFunctionCount
};

// A missing library or function leaves its pointer empty.
extern FARPROC gThemeFunctions[kThemeFunctionCount];

bool IsWindowsXP();
void LoadThemeLibrary();  // only on Windows XP
void FreeThemeLibrary();
