#pragma once

#include <QFile>
#include <optional>

namespace testsupport {

// The file's bytes; none when it cannot be read.
inline std::optional<QByteArray> fileBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

// The whole file written anew; false when it could not be.
[[nodiscard]] inline bool writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) == content.size();
}

} // namespace testsupport
