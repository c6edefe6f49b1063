#pragma once
// The system alert sound, behind one function so tests can count it. The window program
// installs the desktop's alert at start-up; the command line has none (it reports
// failures in text) and so needs no display libraries.

#include <functional>

void SysBeep(int duration = 30);

// The front end's alert sound (the window program installs QApplication::beep).
void SetSystemBeep(std::function<void()> beep);

// Tests: replaces the sound with a callback (pass an empty function to restore it).
void SetBeepHandlerForTesting(std::function<void()> handler);
