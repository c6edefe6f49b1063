#include "app/PreferencesWindow.h"

void ShowPreferencesWindow(QWidget*)
{
}
