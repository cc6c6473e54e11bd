// The program's strings (UTF-8 texts, file names as bytes) as Qt's and back.
#pragma once

#include <QFile>
#include <QString>
#include <string>
#include <string_view>

inline QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// File names are bytes; shown in the locale's encoding.
inline QString FromFileName(const std::string& strName) {
    return QFile::decodeName(QByteArray(strName.data(), static_cast<qsizetype>(strName.size())));
}

inline std::string ToFileName(const QString& strName) {
    const QByteArray name = QFile::encodeName(strName);
    return std::string(name.constData(), static_cast<std::size_t>(name.size()));
}
