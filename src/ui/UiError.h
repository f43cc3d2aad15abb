#pragma once

#include <QString>
#include <stdexcept>

namespace ui {

// A failed toolkit call (a picture that cannot be loaded, a program that cannot start).
class UiError final : public std::runtime_error
{
public:
    explicit UiError(const QString& description) : std::runtime_error(description.toStdString()) {}
};

} // namespace ui
