#pragma once
// The file manager's text order, over ICU: case ignored, accents significant, digit runs
// compared by value (file9 before file10), punctuation significant, composed and
// decomposed forms equal. ICU directly rather than QCollator: under the C and C.UTF-8
// locales QCollator silently drops numeric and case-insensitive ordering.

#include <QByteArray>
#include <QByteArrayView>
#include <QStringList>
#include <QStringView>

#include <functional>
#include <vector>

namespace FinderOrder {

// The collation locale: LC_ALL, then LC_COLLATE, then LANG; C or POSIX is the root locale.
QByteArray collationLocaleName();

// Collation result of two whole strings, ties (equal under the collation) broken by the
// strings' file-system bytes so the order is total and repeatable. Negative, 0 or positive.
int compare(QStringView a, QStringView b);

// Collation result alone, without the tie-break: 0 for texts the file manager counts as
// equal (differing only in case or width, say). Negative, 0 or positive.
int collate(QStringView a, QStringView b);

// A byte string whose memcmp order is the collation order of the text (no tie-break).
QByteArray sortKey(QStringView text);

// Sorts in place in the order of compare(), computing one key per string.
void sort(QStringList& strings);

// The same order as positions into strings, which are left as they are: for sorting
// other lists alongside.
std::vector<qsizetype> sortedOrder(const QStringList& strings);

// The order of compare() over names given as their file-system bytes (read as
// DecodeFileName reads them), as positions: name(i) gives the bytes of name i, and may be
// asked from several threads at once.
std::vector<qsizetype> sortedOrderOfNames(qsizetype count, const std::function<QByteArrayView(qsizetype)>& name);

} // namespace FinderOrder
