#pragma once
// Fixed-size numbers in stored records are little-endian, whatever the machine's order.

#include <QByteArray>
#include <QtEndian>

template <class T>
void AppendLittleEndian(QByteArray& out, T value)
{
    const T le = qToLittleEndian(value);
    out.append(reinterpret_cast<const char*>(&le), sizeof le);
}
