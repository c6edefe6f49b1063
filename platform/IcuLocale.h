#pragma once
// The ICU locale of one locale category, from the environment as the C library reads
// it (LC_ALL, then the category, then LANG): "de_DE.UTF-8@euro" is de_DE; C, POSIX and
// an unknown name are the root locale.

#include <unicode/locid.h>

icu::Locale LocaleForCategory(const char* category);
