#pragma once
// TCP port numbers as the configuration editors take them: the server's from 0 to 65535 (the
// main window refuses any other when it loads a server configuration), the client's from 1 to
// 65535 (a connection cannot be made to port 0).
#include <QString>
#include <QValidator>
#include <cstdint>

namespace quillon {

constexpr int32_t kHighestPort = 65535;

// Lets into a box only decimal digits, and only while they make a number up to `max` (a port
// box: kHighestPort).
class DigitsValidator : public QValidator {
public:
    DigitsValidator(int64_t max, QObject* parent) : QValidator(parent), max_(max) {}

    State validate(QString& input, int&) const override
    {
        int64_t value = 0;
        for (const QChar c : input) {
            if (c < u'0' || c > u'9')
                return Invalid;
            value = value * 10 + (c.unicode() - u'0');
            if (value > max_)
                return Invalid;
        }
        return input.isEmpty() ? Intermediate : Acceptable;
    }

private:
    int64_t max_;
};

// The message an editor shows instead of saving a port outside lowest to kHighestPort.
inline QString PortOutOfRangeText(int64_t port, int32_t lowest)
{
    return QStringLiteral("%1 is not a valid port number. Please enter a port number from %2 to "
                          "%3.")
        .arg(port)
        .arg(lowest)
        .arg(kHighestPort);
}

inline const QString kInvalidPortTitle = QStringLiteral("Invalid Port Number");

}  // namespace quillon
