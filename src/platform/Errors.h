#pragma once

#include <QtCore/QString>

#include <stdexcept>

// The program's failures. Handlers that do not expect a failure let it pass;
// TApplication::notify catches whatever escapes and shows it to the user.
class Exception : public std::runtime_error {
public:
    explicit Exception(const QString& message)
        : std::runtime_error(message.toStdString()), message_(message) {}
    const QString& Message() const { return message_; }

private:
    QString message_;
};

// A text that is not a number where a number is required.
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

// The settings store could not be read or written.
class ERegistryException : public Exception {
public:
    using Exception::Exception;
};

// An index outside a list's range.
class EListError : public Exception {
public:
    using Exception::Exception;
};

// An object was asked to copy from something it cannot copy.
class EAssignError : public Exception {
public:
    using Exception::Exception;
};

// Text of an exception of any kind, for display.
QString exceptionText(const std::exception& e);
