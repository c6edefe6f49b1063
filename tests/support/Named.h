#pragma once
// The child object of the given class and object name (the names the forms give their
// widgets and actions); a missing one fails the test that asks for it.

#include <QAction>
#include <QTest>

template <class T = QAction>
T* named(const QObject* parent, const char* name)
{
    T* child = parent->findChild<T*>(QString::fromLatin1(name));
    if (!child)
        QTest::qFail(qPrintable(QStringLiteral("no %1 named %2").arg(QLatin1String(T::staticMetaObject.className()),
                                                                   QLatin1String(name))),
                     __FILE__, __LINE__);
    return child;
}
