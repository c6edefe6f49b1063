#pragma once
// The system alert sound, behind one function so tests can count it.

#include <functional>

void SysBeep(int duration = 30);

// Tests: replaces the sound with a callback (pass an empty function to restore it).
void SetBeepHandlerForTesting(std::function<void()> handler);
