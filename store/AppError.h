#pragma once

#include <QString>
#include <stdexcept>

// An error that ends a handler. The text is what the operator sees in the
// error box; work done before the error stays done.
class AppError : public std::runtime_error
{
public:
    explicit AppError(const QString& text) : std::runtime_error(text.toStdString()), m_text(text) {}
    QString text() const { return m_text; }

private:
    QString m_text;
};
