#pragma once
// The system log, where the classic NSLog wrote: each message goes to syslog(3) under the
// program's name ("journalctl -t ordinello" shows it) and to standard error.

#include <QString>

#include <functional>

// Writes one message. Safe to call from any thread.
void NSLog(const QString& message);

// Tests: every message goes to the handler instead of the system log and standard error.
// Pass an empty function to restore them.
void SetSystemLogHandlerForTesting(std::function<void(const QString& message)> handler);
