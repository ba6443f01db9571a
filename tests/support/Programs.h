// Program images and argument lists the launch tests share.
#pragma once

#include <QByteArray>
#include <QStringList>

#include <string>
#include <vector>

namespace support {

// `size` bytes beginning "MZ" whose newer-header offset (the number at 0x3C) is `offset`,
// with `signature` there when it fits in the file.
inline QByteArray mzProgram(quint32 offset, const QByteArray& signature, int size)
{
    QByteArray bytes(size, '\0');
    bytes.replace(0, 2, "MZ");
    for (int i = 0; i < 4; ++i)
        bytes[0x3C + i] = char((offset >> (8 * i)) & 0xFF);
    if (offset + quint32(signature.size()) <= quint32(size))
        bytes.replace(int(offset), signature.size(), signature);
    return bytes;
}

// The first bytes of a Windows program: "MZ" with "PE\0\0" at 0x80.
inline QByteArray windowsProgram()
{
    return mzProgram(0x80, QByteArray("PE\0\0", 4), 0x84);
}

inline QStringList toQStringList(const std::vector<std::string>& texts)
{
    QStringList list;
    for (const std::string& text : texts)
        list << QString::fromStdString(text);
    return list;
}

} // namespace support
