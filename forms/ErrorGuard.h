// The general error display: every command and event handler runs its body through
// Guarded, so that an exception never crosses a Qt signal or event. The exception becomes a
// modal error box (error icon, the application title as caption, the message with "."
// appended when its last character sorts above ".") and the program carries on.
#pragma once

#include <QString>

#include <exception>
#include <utility>

// Shows the error box for a message as it was thrown (the "." is added here). Never throws.
void ShowApplicationError(const QString& message) noexcept;

// The message shown for an exception that is not a std::exception.
QString UnknownErrorMessage();

template <class F>
void Guarded(F&& body) noexcept
{
    try {
        std::forward<F>(body)();
    } catch (const std::exception& error) {
        ShowApplicationError(QString::fromUtf8(error.what()));
    } catch (...) {
        ShowApplicationError(UnknownErrorMessage());
    }
}
