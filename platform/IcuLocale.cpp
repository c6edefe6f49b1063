#include "platform/IcuLocale.h"

#include <QByteArray>

#include <cstdlib>

icu::Locale LocaleForCategory(const char* category)
{
    QByteArray name;
    for (const char* variable : {"LC_ALL", category, "LANG"}) {
        const char* value = std::getenv(variable);
        if (value && *value) {
            name = value;
            break;
        }
    }
    for (char mark : {'.', '@'}) {
        if (const qsizetype at = name.indexOf(mark); at >= 0)
            name.truncate(at);
    }
    if (name.isEmpty() || name == "C" || name == "POSIX")
        return icu::Locale::getRoot();
    icu::Locale locale(name.constData());
    return locale.isBogus() ? icu::Locale::getRoot() : locale;
}
