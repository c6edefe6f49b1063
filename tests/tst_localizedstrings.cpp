// Looked-up texts: English fallback, the process-wide cache, and the Italian table (whether
// every shipped table is finished is the translations_complete test's to check).

#include "support/LocalizedStrings.h"

#include <QLocale>
#include <QTest>

class TestLocalizedStrings : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup()
    {
        SetLocalizedLookupForTesting({});
    }

    void cacheAnswersWithoutAskingAgain()
    {
        int lookups = 0;
        SetLocalizedLookupForTesting([&](const QString& key) -> std::optional<QString> {
            ++lookups;
            return key.toUpper();
        });
        const QString& first = LocalizedString("Choose folder");
        const QString& second = LocalizedString(QStringLiteral("Choose folder"));
        QCOMPARE(first, QStringLiteral("CHOOSE FOLDER"));
        QCOMPARE(&first, &second);        // the very same object, C string or QString key
        QCOMPARE(lookups, 1);
        QCOMPARE(&LocalizedStringNS("Choose folder"), &first);

        // Entries stay put while the cache grows.
        for (int i = 0; i < 2000; ++i)
            LocalizedString(QString::number(i));
        QCOMPARE(&LocalizedString("Choose folder"), &first);
        QCOMPARE(first, QStringLiteral("CHOOSE FOLDER"));
    }

    void failedLookupIsNotCached()
    {
        int lookups = 0;
        SetLocalizedLookupForTesting([&](const QString&) -> std::optional<QString> {
            ++lookups;
            return std::nullopt;
        });
        QVERIFY(LocalizedString("Choose").isNull());
        QVERIFY(LocalizedString("Choose").isNull());
        QCOMPARE(lookups, 2);
    }

    void englishIsTheFallback()
    {
        QCOMPARE(LocalizedString("A text no table has"), QStringLiteral("A text no table has"));
        // Placeholders are part of the key; the caller fills them in afterwards.
        QCOMPARE(LocalizedString("Connection failed with error: %@ %@"), QStringLiteral("Connection failed with error: %@ %@"));
    }

    void italianTableIsInstalled()
    {
        QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
        SetLocalizedLookupForTesting({});   // empties the cache
        InstallTranslations();
        QCOMPARE(LocalizedString("Choose folder"), QStringLiteral("Scegli la cartella"));
        QLocale::setDefault(QLocale::c());
    }
};

QTEST_GUILESS_MAIN(TestLocalizedStrings)
#include "tst_localizedstrings.moc"
