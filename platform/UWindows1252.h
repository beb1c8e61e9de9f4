#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// The Windows Western code page, in which the station product keeps its
// texts (the database's columns, which the connection does not translate)
// and the day log. Bytes 0x80 to 0x9F are the euro sign, the curly quotes,
// the dashes and the rest of that page, not Latin-1's control characters.
// Every byte comes back as itself: the five the page leaves undefined
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) stand for the characters of the same
// number, so a text copied from one table to another keeps its bytes.
class TWindows1252 {
public:
    static QString FDecodifica(QByteArrayView pBytes);
    // A character the page has no byte for becomes "?".
    static QByteArray FCodifica(QStringView pTexto);
};
