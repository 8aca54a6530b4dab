#pragma once
// The windows of the driver's class that this thread owns: what a host's thread holds of its instances.

#include <vector>

#include <windows.h>

std::vector<HWND> DriverWindowsOfThisThread();
