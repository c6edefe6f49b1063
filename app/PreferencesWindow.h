#pragma once
// Placeholder: the preferences window.

class QWidget;

void ShowPreferencesWindow(QWidget* parent);
