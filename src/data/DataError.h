#pragma once

#include <QString>
#include <stdexcept>

namespace data {

// A failed storage call. what() carries the engine's own description (UTF-8).
class DataError final : public std::runtime_error
{
public:
    explicit DataError(const QString& description) : std::runtime_error(description.toStdString()) {}
    QString description() const { return QString::fromUtf8(what()); }
};

} // namespace data
