#include "support/LocalizedStrings.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <mutex>
#include <unordered_map>

namespace {

struct QStringHash {
    size_t operator()(const QString& s) const noexcept { return qHash(s); }
};

struct Cache {
    std::mutex mutex;
    // Node-based, so references handed out stay valid while the map grows.
    std::unordered_map<QString, QString, QStringHash> strings;
    LocalizedLookup lookup;
};

Cache& cache()
{
    static Cache* instance = new Cache;   // never freed: results must outlive every caller
    return *instance;
}

std::optional<QString> tableLookup(const QString& key)
{
    const QByteArray utf8 = key.toUtf8();
    return QCoreApplication::translate("LocalizedStrings", utf8.constData());
}

const QString& nullString()
{
    static const QString empty;
    return empty;
}

} // namespace

const QString& LocalizedString(const QString& key)
{
    Cache& c = cache();
    std::lock_guard lock(c.mutex);
    if (auto it = c.strings.find(key); it != c.strings.end())
        return it->second;
    std::optional<QString> found = c.lookup ? c.lookup(key) : tableLookup(key);
    if (!found || found->isNull())
        return nullString();   // not cached: the next call asks the table again
    return c.strings.emplace(key, std::move(*found)).first->second;
}

const QString& LocalizedString(const char* key)
{
    return LocalizedString(QString::fromUtf8(key));
}

const QString& LocalizedStringNS(const char* key)
{
    return LocalizedString(key);
}

void InstallTranslations()
{
    auto* app = QCoreApplication::instance();
    if (!app)
        return;
    const QLocale locale;
    auto* ours = new QTranslator(app);
    if (ours->load(locale, QStringLiteral("ordinello"), QStringLiteral("_"), QStringLiteral(":/i18n")))
        QCoreApplication::installTranslator(ours);
    else
        delete ours;
    auto* qt = new QTranslator(app);
    if (qt->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qt);
    else
        delete qt;
}

void SetLocalizedLookupForTesting(LocalizedLookup lookup)
{
    Cache& c = cache();
    std::lock_guard lock(c.mutex);
    c.lookup = std::move(lookup);
    c.strings.clear();
}
