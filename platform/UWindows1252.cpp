#include "UWindows1252.h"

#include <array>

namespace {

// The characters of bytes 0x80 to 0x9F.
constexpr std::array<char16_t, 32> cFaixa80 = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char FByte(char16_t pCaractere)
{
    if (pCaractere < 0x80 || (pCaractere >= 0xA0 && pCaractere <= 0xFF))
        return static_cast<char>(pCaractere);
    for (size_t i = 0; i < cFaixa80.size(); ++i) {
        if (cFaixa80[i] == pCaractere)
            return static_cast<char>(0x80 + i);
    }
    return '?';
}

} // namespace

QString TWindows1252::FDecodifica(QByteArrayView pBytes)
{
    QString texto(pBytes.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < pBytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(pBytes[i]);
        texto[i] = QChar(byte >= 0x80 && byte < 0xA0 ? cFaixa80[byte - 0x80] : char16_t(byte));
    }
    return texto;
}

QByteArray TWindows1252::FCodifica(QStringView pTexto)
{
    QByteArray bytes;
    bytes.reserve(pTexto.size());
    for (qsizetype i = 0; i < pTexto.size(); ++i) {
        // A character beyond the 16-bit range is one "?", not two.
        if (pTexto[i].isHighSurrogate() && i + 1 < pTexto.size() && pTexto[i + 1].isLowSurrogate())
            ++i;
        bytes += FByte(pTexto[i].unicode());
    }
    return bytes;
}
