#include "running_copy/local_requests.h"

#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QLocalSocket>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace vantiro::local_requests {

namespace {

bool isNameCharacter(char c, bool first)
{
    return (c >= 'a' && c <= 'z') || (!first && ((c >= '0' && c <= '9') || c == '-'));
}

} // namespace

QByteArray line(const QString &word, const QJsonObject &fields)
{
    QByteArray text = word.toUtf8();
    if (!fields.isEmpty())
        text += ' ' + QJsonDocument(fields).toJson(QJsonDocument::Compact);
    return text + '\n';
}

QByteArray errorLine(const QString &message)
{
    return line(error, QJsonObject { { u"message"_s, message } });
}

std::variant<Message, QString> parse(QByteArrayView text)
{
    if (text.endsWith('\n'))
        text.chop(1);
    if (text.endsWith('\r'))
        text.chop(1);
    if (text.size() >= maximumLineBytes)
        return u"the request is longer than %1 bytes"_s.arg(maximumLineBytes);

    qsizetype nameEnd = 0;
    while (nameEnd < text.size() && text.at(nameEnd) != ' ') {
        if (!isNameCharacter(text.at(nameEnd), nameEnd == 0) || nameEnd >= maximumNameLength)
            return u"malformed request: it does not start with a request name"_s;
        ++nameEnd;
    }
    if (nameEnd == 0)
        return u"malformed request: it does not start with a request name"_s;
    Message message { QString::fromLatin1(text.first(nameEnd)), {} };
    if (nameEnd == text.size())
        return message;

    QJsonParseError error;
    const QJsonDocument arguments = QJsonDocument::fromJson(text.sliced(nameEnd + 1).toByteArray(), &error);
    if (error.error != QJsonParseError::NoError || !arguments.isObject())
        return u"malformed request: what follows \"%1\" is not a JSON object"_s.arg(message.word);
    message.fields = arguments.object();
    return message;
}

std::optional<Message> ask(const QString &serverPath, const QByteArray &requestLine,
                           std::chrono::milliseconds connectTimeout, std::chrono::milliseconds answerTimeout,
                           AskFailure *failure)
{
    const auto fail = [failure](AskFailure reason) {
        if (failure)
            *failure = reason;
        return std::nullopt;
    };
    QLocalSocket socket;
    socket.setReadBufferSize(maximumLineBytes);
    socket.connectToServer(serverPath);
    if (!socket.waitForConnected(int(connectTimeout.count())))
        return fail(AskFailure::NotListening);
    // A request the socket does not take whole finds no copy that could answer it.
    if (socket.write(requestLine) != requestLine.size())
        return fail(AskFailure::ClosedUnanswered);

    QEventLoop loop;
    QTimer::singleShot(answerTimeout, &loop, &QEventLoop::quit);
    QObject::connect(&socket, &QLocalSocket::readyRead, &loop, [&] {
        if (socket.canReadLine() || socket.bytesAvailable() >= maximumLineBytes)
            loop.quit();
    });
    QObject::connect(&socket, &QLocalSocket::disconnected, &loop, &QEventLoop::quit);
    if (socket.state() == QLocalSocket::ConnectedState && !socket.canReadLine())
        loop.exec();

    if (!socket.canReadLine())
        return fail(socket.state() == QLocalSocket::ConnectedState ? AskFailure::NoAnswer
                                                                   : AskFailure::ClosedUnanswered);
    const std::variant<Message, QString> answer = parse(socket.readLine(maximumLineBytes));
    if (const Message *message = std::get_if<Message>(&answer))
        return *message;
    return fail(AskFailure::Malformed);
}

} // namespace vantiro::local_requests
