// Classic control helpers on a small form, and choosing several files with Qt's own dialog.

#include "support/ClassicControls.h"
#include "platform/AEDesc.h"
#include "TestFolders.h"

#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

#include <functional>

namespace {

ControlKeyFilterResult blockDigits(ControlRef, std::int16_t*, std::int16_t* charCode, std::uint16_t*)
{
    return (*charCode >= '0' && *charCode <= '9') ? kControlKeyFilterBlockKey : kControlKeyFilterPassKey;
}

ControlKeyFilterResult blockEverything(ControlRef, std::int16_t*, std::int16_t*, std::uint16_t*)
{
    return kControlKeyFilterBlockKey;
}

} // namespace

class TestClassicControls : public QObject {
    Q_OBJECT

private:
    QWidget m_window;
    QLineEdit* m_edit = nullptr;
    QLabel* m_label = nullptr;
    QPushButton* m_button = nullptr;

    // Runs action on the file dialog once it shows.
    void onFileDialog(std::function<void(QFileDialog*)> action)
    {
        QTimer::singleShot(0, this, [action] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            action(dialog);
        });
    }

private Q_SLOTS:
    void initTestCase()
    {
        auto* layout = new QVBoxLayout(&m_window);
        m_edit = new QLineEdit;
        m_edit->setObjectName(QStringLiteral("edit"));
        m_edit->setProperty("controlSignature", QStringLiteral("EdTx"));
        m_edit->setProperty("controlNumber", 1);
        m_label = new QLabel;
        m_label->setObjectName(QStringLiteral("label"));
        m_label->setProperty("controlSignature", QByteArray("StTx"));
        m_label->setProperty("controlNumber", 2);
        m_button = new QPushButton;
        m_button->setObjectName(QStringLiteral("button"));
        m_button->setProperty("controlSignature", 0x42746e20u);   // 'Btn ' as a number
        m_button->setProperty("controlNumber", 1);
        layout->addWidget(m_edit);
        layout->addWidget(m_label);
        layout->addWidget(m_button);
        m_window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&m_window));
    }

    void grabCRef_data()
    {
        QTest::addColumn<OSType>("code");
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("expected");
        QTest::newRow("edit text") << FourCharCode("EdTx") << 1 << "edit";
        QTest::newRow("static text, signature as bytes") << FourCharCode("StTx") << 2 << "label";
        QTest::newRow("signature given as a number") << FourCharCode("Btn ") << 1 << "button";
        QTest::newRow("same signature, other number") << FourCharCode("EdTx") << 2 << "";
        QTest::newRow("unknown signature") << FourCharCode("None") << 1 << "";
    }
    void grabCRef()
    {
        QFETCH(OSType, code);
        QFETCH(int, number);
        QFETCH(QString, expected);
        ControlRef control = GrabCRef(&m_window, code, number);
        QCOMPARE(control ? control->objectName() : QString(), expected);
        QVERIFY(!GrabCRef(nullptr, code, number));
    }

    void nullAndWrongControls()
    {
        Str255 text{};
        const auto filter = blockDigits;
        QCOMPARE(SetEditTextAsCFString(nullptr, QStringLiteral("x"), true), OSStatus(paramErr));
        QCOMPARE(SetStaticTextAsCFString(nullptr, QStringLiteral("x"), true), OSStatus(paramErr));
        QCOMPARE(SetEditTextText(nullptr, text, true), OSStatus(paramErr));
        QCOMPARE(SetStaticTextText(nullptr, text, true), OSStatus(paramErr));
        QCOMPARE(SetEditTextText(nullptr, QStringLiteral("x"), true), OSStatus(paramErr));
        QCOMPARE(GetEditTextText(nullptr, text), OSStatus(paramErr));
        QCOMPARE(GetEditTextText(m_edit, nullptr), OSStatus(paramErr));
        QCOMPARE(SetEditTextKeyFilter(nullptr, filter), OSStatus(paramErr));
        QCOMPARE(SetEditTextKeyFilter(m_edit, nullptr), OSStatus(paramErr));
        QVERIFY(GetEditTextAsCFString(nullptr).isNull());
        // A control of another kind keeps no such data.
        QCOMPARE(SetEditTextAsCFString(m_button, QStringLiteral("x"), false), OSStatus(errDataNotSupported));
        QCOMPARE(SetStaticTextAsCFString(m_button, QStringLiteral("x"), false), OSStatus(errDataNotSupported));
        QCOMPARE(GetEditTextText(m_button, text), OSStatus(errDataNotSupported));
        QVERIFY(GetEditTextAsCFString(m_button).isNull());
    }

    // Edit and static texts hold one value: every text call reads and writes either kind.
    void editAndStaticTextsShareOneValue()
    {
        QCOMPARE(SetEditTextAsCFString(m_label, QStringLiteral("Città"), false), OSStatus(noErr));
        QCOMPARE(GetEditTextAsCFString(m_label), QStringLiteral("Città"));
        Str255 bytes{};
        QCOMPARE(GetEditTextText(m_label, bytes), OSStatus(noErr));
        QCOMPARE(TestFolders::pascalText(bytes), QByteArray("Citt\xc3\xa0"));
        QCOMPARE(SetEditTextText(m_label, TestFolders::pascal("Beach").data(), false), OSStatus(noErr));
        QCOMPARE(m_label->text(), QStringLiteral("Beach"));
        QCOMPARE(SetStaticTextAsCFString(m_edit, QStringLiteral("Note"), false), OSStatus(noErr));
        QCOMPARE(m_edit->text(), QStringLiteral("Note"));
    }

    void textBytes_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("ascii") << "Beach" << QByteArray("Beach");
        QTest::newRow("utf-8") << "Città" << QByteArray("Citt\xc3\xa0");
        QTest::newRow("300 bytes give 255") << QString(300, QLatin1Char('a')) << QByteArray(255, 'a');
        QTest::newRow("cut before a split character")
            << QString(254, QLatin1Char('a')) + QStringLiteral("é") << QByteArray(254, 'a');
    }
    void textBytes()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, expected);
        QCOMPARE(SetEditTextAsCFString(m_edit, text, false), OSStatus(noErr));
        QCOMPARE(GetEditTextAsCFString(m_edit), text);
        Str255 bytes{};
        QCOMPARE(GetEditTextText(m_edit, bytes), OSStatus(noErr));
        QCOMPARE(TestFolders::pascalText(bytes), expected);
        // Bytes written back read the same.
        QCOMPARE(SetEditTextText(m_edit, bytes, false), OSStatus(noErr));
        QCOMPARE(m_edit->text().toUtf8(), expected);
    }

    void setTextFromStringOverCapacityChangesNothing()
    {
        m_edit->setText(QStringLiteral("kept"));
        QCOMPARE(SetEditTextText(m_edit, QString(256, QLatin1Char('b')), true), OSStatus(noErr));
        QCOMPARE(m_edit->text(), QStringLiteral("kept"));
        QCOMPARE(SetEditTextText(m_edit, QString(255, QLatin1Char('b')), false), OSStatus(noErr));
        QCOMPARE(m_edit->text(), QString(255, QLatin1Char('b')));
        QCOMPARE(SetStaticTextText(m_label, TestFolders::pascal("Note").data(), false), OSStatus(noErr));
        QCOMPARE(m_label->text(), QStringLiteral("Note"));
    }

    void keyFilterBlocksKeys()
    {
        m_edit->clear();
        m_edit->setFocus();
        QCOMPARE(SetEditTextKeyFilter(m_edit, blockEverything), OSStatus(noErr));
        // The second filter replaces the first.
        QCOMPARE(SetEditTextKeyFilter(m_edit, blockDigits), OSStatus(noErr));
        QTest::keyClicks(m_edit, QStringLiteral("a1b22c"));
        QCOMPARE(m_edit->text(), QStringLiteral("abc"));
    }

    void chooseFiles()
    {
        TestFolders::isolateUserFolders();
        const QByteArray base = TestFolders::temporaryFolder();
        for (const char* name : {"a.txt", "b.txt", "c.txt"})
            TestFolders::touch(base, name);
        const qsizetype slash = base.lastIndexOf('/');
        const FSSpec folder{base.left(slash), base.mid(slash + 1)};
        QString shownMessage;
        onFileDialog([&shownMessage](QFileDialog* dialog) {
            if (auto* label = dialog->findChild<QLabel*>(QStringLiteral("message")))
                shownMessage = label->text();
            dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(
                QStringLiteral("\"c.txt\" \"a.txt\" \"b.txt\""));
            static_cast<QDialog*>(dialog)->accept();
        });
        const auto chosen = ChooseFiles(&folder, "Choose the pictures");
        QVERIFY(chosen);
        QCOMPARE(shownMessage, QStringLiteral("Choose the pictures"));
        QCOMPARE(*chosen, (QList<FSSpec>{{base, "c.txt"}, {base, "a.txt"}, {base, "b.txt"}}));

        // A long message is cut at 255 bytes; cancelling gives nothing.
        const QByteArray longMessage(300, 'm');
        onFileDialog([&shownMessage](QFileDialog* dialog) {
            shownMessage = dialog->findChild<QLabel*>(QStringLiteral("message"))->text();
            dialog->reject();
        });
        QVERIFY(!ChooseFiles(nullptr, longMessage.constData()));
        QCOMPARE(shownMessage, QString(255, QLatin1Char('m')));
    }
};

QTEST_MAIN(TestClassicControls)
#include "tst_classiccontrols.moc"
