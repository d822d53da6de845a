#include "running_copy/plain_client.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

namespace vantiro::plain_client {

namespace {

// The copy takes request lines of up to 64 KB, its line feed included; its answer to a send to a large group
// carries every port's outcome twice (as text and as JSON), so answers may be longer.
constexpr size_t maximumRequestBytes = 64 * 1024;
constexpr size_t maximumAnswerBytes = 1024 * 1024;
constexpr size_t maximumWordLength = 32;
constexpr int maximumDepth = 64;

bool isPrivateFolder(const std::string &path, unsigned uid, bool follow)
{
    struct stat status;
    if (path.empty() || (follow ? ::stat(path.c_str(), &status) : ::lstat(path.c_str(), &status)) != 0)
        return false;
    return S_ISDIR(status.st_mode) && status.st_uid == uid && (status.st_mode & 07777) == 0700;
}

// The machine's name as the lock and record names carry it; nothing for a name beyond ASCII, which only the whole
// program spells as the copy did.
std::optional<std::string> machineTag()
{
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0)
        return std::nullopt;
    std::string tag = name;
    for (char &c : tag) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80)
            return std::nullopt;
        if (!((byte >= '0' && byte <= '9') || (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z')
              || c == '-' || c == '.'))
            c = '_';
    }
    return tag.empty() ? std::string("localhost") : tag;
}

std::string trimmed(std::string text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; };
    while (!text.empty() && blank(text.back()))
        text.pop_back();
    const auto first = std::find_if_not(text.begin(), text.end(), blank);
    return std::string(first, text.end());
}

std::string withoutTrailingSlashes(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

std::optional<std::string> recordedFolder(const Places &places)
{
    const std::string state = places.stateFolder ? *places.stateFolder
        : places.home.empty()                    ? std::string()
                                                 : places.home + '/' + stateFolderInHome;
    const std::optional<std::string> tag = machineTag();
    // The record counts only in a folder of the user's own, as the copy that wrote it made sure.
    struct stat status;
    if (state.empty() || !tag || ::lstat(state.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)
        || status.st_uid != places.uid)
        return std::nullopt;
    const int fd = ::open((state + "/vantiro-" + *tag + ".listening").c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    char buffer[4096];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    ::close(fd);
    if (n <= 0)
        return std::nullopt;
    const std::string folder = withoutTrailingSlashes(trimmed(std::string(buffer, size_t(n))));
    if (!isPrivateFolder(folder, places.uid, true))
        return std::nullopt;
    return folder;
}

long remainingMs(const timespec &deadline)
{
    timespec now {};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return std::max(0L, (deadline.tv_sec - now.tv_sec) * 1000 + (deadline.tv_nsec - now.tv_nsec) / 1000000);
}

timespec deadlineIn(std::chrono::milliseconds duration)
{
    timespec deadline {};
    ::clock_gettime(CLOCK_MONOTONIC, &deadline);
    const long long ns = deadline.tv_nsec + (duration.count() % 1000) * 1000000;
    deadline.tv_sec += time_t(duration.count() / 1000 + ns / 1000000000);
    deadline.tv_nsec = long(ns % 1000000000);
    return deadline;
}

void appendUtf8(std::string &out, unsigned codePoint)
{
    if (codePoint < 0x80) {
        out += char(codePoint);
    } else if (codePoint < 0x800) {
        out += char(0xC0 | (codePoint >> 6));
        out += char(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        out += char(0xE0 | (codePoint >> 12));
        out += char(0x80 | ((codePoint >> 6) & 0x3F));
        out += char(0x80 | (codePoint & 0x3F));
    } else {
        out += char(0xF0 | (codePoint >> 18));
        out += char(0x80 | ((codePoint >> 12) & 0x3F));
        out += char(0x80 | ((codePoint >> 6) & 0x3F));
        out += char(0x80 | (codePoint & 0x3F));
    }
}

// Reads one JSON object, keeping its texts and whole numbers.
class ObjectReader
{
public:
    explicit ObjectReader(std::string_view text)
        : m_text(text)
    { }

    bool read(Answer &answer)
    {
        space();
        if (!object(&answer, 0))
            return false;
        space();
        return m_at == m_text.size();
    }

private:
    bool more() const { return m_at < m_text.size(); }
    char next() const { return more() ? m_text[m_at] : '\0'; }
    void space()
    {
        while (more() && (next() == ' ' || next() == '\t' || next() == '\r' || next() == '\n'))
            ++m_at;
    }
    bool take(char c)
    {
        space();
        if (next() != c)
            return false;
        ++m_at;
        return true;
    }

    std::optional<unsigned> hex4()
    {
        if (m_text.size() - m_at < 4)
            return std::nullopt;
        unsigned value = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = m_text[m_at++];
            value <<= 4;
            if (c >= '0' && c <= '9')
                value |= unsigned(c - '0');
            else if (c >= 'a' && c <= 'f')
                value |= unsigned(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                value |= unsigned(c - 'A' + 10);
            else
                return std::nullopt;
        }
        return value;
    }

    std::optional<std::string> string()
    {
        if (!take('"'))
            return std::nullopt;
        std::string out;
        while (more()) {
            const char c = m_text[m_at++];
            if (c == '"')
                return out;
            if (static_cast<unsigned char>(c) < 0x20)
                return std::nullopt;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (!more())
                return std::nullopt;
            switch (const char escaped = m_text[m_at++]) {
            case '"':
            case '\\':
            case '/':
                out += escaped;
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 'u': {
                std::optional<unsigned> unit = hex4();
                if (!unit)
                    return std::nullopt;
                // A surrogate without its other half (a text cut in two) stands as the replacement character.
                unsigned codePoint = *unit;
                if (codePoint >= 0xD800 && codePoint < 0xDC00 && m_text.substr(m_at, 2) == "\\u") {
                    const size_t second = m_at;
                    m_at += 2;
                    const std::optional<unsigned> low = hex4();
                    if (low && *low >= 0xDC00 && *low < 0xE000)
                        codePoint = 0x10000 + ((codePoint - 0xD800) << 10) + (*low - 0xDC00);
                    else
                        m_at = second;
                }
                appendUtf8(out, codePoint >= 0xD800 && codePoint < 0xE000 ? 0xFFFD : codePoint);
                break;
            }
            default:
                return std::nullopt;
            }
        }
        return std::nullopt;
    }

    // A number's text; whole says whether it has neither fraction nor exponent.
    std::optional<std::string> number(bool &whole)
    {
        space();
        const size_t start = m_at;
        whole = true;
        if (next() == '-')
            ++m_at;
        const auto digits = [this] {
            const size_t first = m_at;
            while (next() >= '0' && next() <= '9')
                ++m_at;
            return m_at > first;
        };
        if (!digits())
            return std::nullopt;
        if (next() == '.') {
            whole = false;
            ++m_at;
            if (!digits())
                return std::nullopt;
        }
        if (next() == 'e' || next() == 'E') {
            whole = false;
            ++m_at;
            if (next() == '+' || next() == '-')
                ++m_at;
            if (!digits())
                return std::nullopt;
        }
        return std::string(m_text.substr(start, m_at - start));
    }

    bool value(int depth)
    {
        space();
        switch (next()) {
        case '"':
            return string().has_value();
        case '{':
            return object(nullptr, depth + 1);
        case '[': {
            ++m_at;
            if (depth >= maximumDepth)
                return false;
            if (take(']'))
                return true;
            do {
                if (!value(depth + 1))
                    return false;
            } while (take(','));
            return take(']');
        }
        default:
            for (const std::string_view word : { "true", "false", "null" }) {
                if (m_text.substr(m_at, word.size()) == word) {
                    m_at += word.size();
                    return true;
                }
            }
            bool whole = false;
            return number(whole).has_value();
        }
    }

    // Keeps the members in `answer`, when given.
    bool object(Answer *answer, int depth)
    {
        if (depth > maximumDepth || !take('{'))
            return false;
        if (take('}'))
            return true;
        do {
            const std::optional<std::string> key = string();
            if (!key || !take(':'))
                return false;
            space();
            if (answer && next() == '"') {
                const std::optional<std::string> text = string();
                if (!text)
                    return false;
                answer->texts[*key] = *text;
            } else if (answer && (next() == '-' || (next() >= '0' && next() <= '9'))) {
                bool whole = false;
                const std::optional<std::string> digits = number(whole);
                if (!digits)
                    return false;
                if (whole && digits->size() < 19)
                    answer->numbers[*key] = std::atoll(digits->c_str());
            } else if (!value(depth)) {
                return false;
            }
        } while (take(','));
        return take('}');
    }

    std::string_view m_text;
    size_t m_at = 0;
};

} // namespace

Places environmentPlaces()
{
    Places places;
    if (const char *xdg = std::getenv("XDG_RUNTIME_DIR"))
        places.xdgRuntimeDir = xdg;
    if (const char *state = std::getenv("VANTIRO_STATE_DIR"))
        places.stateFolder = state;
    places.uid = ::geteuid();
    places.runUserFolder = "/run/user/" + std::to_string(places.uid);
    if (const passwd *user = ::getpwuid(places.uid); user && user->pw_dir)
        places.home = user->pw_dir;
    return places;
}

std::vector<std::string> copyFolders(const Places &places)
{
    std::vector<std::string> folders;
    if (const std::optional<std::string> recorded = recordedFolder(places))
        folders.push_back(*recorded);
    const std::string home = places.home.empty()
        ? std::string()
        : places.home + '/' + stateFolderInHome + '/' + runtimeFolderInState;
    std::string rule;
    if (places.xdgRuntimeDir && isPrivateFolder(*places.xdgRuntimeDir, places.uid, true))
        rule = withoutTrailingSlashes(*places.xdgRuntimeDir);
    else if (isPrivateFolder(places.runUserFolder, places.uid, true))
        rule = places.runUserFolder;
    else if (isPrivateFolder(home, places.uid, false))
        rule = home;
    if (!rule.empty() && std::find(folders.begin(), folders.end(), rule) == folders.end())
        folders.push_back(rule);
    return folders;
}

std::optional<std::string> ask(const std::string &socketPath, std::string_view line,
                               std::chrono::milliseconds connectTimeout, std::chrono::milliseconds answerTimeout,
                               Failure *failure)
{
    const auto fail = [failure](Failure reason) {
        if (failure)
            *failure = reason;
        return std::nullopt;
    };
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    // A request the copy would refuse as too long is left to the whole program, which says so.
    if (socketPath.empty() || socketPath.size() >= sizeof address.sun_path || line.size() > maximumRequestBytes)
        return fail(Failure::NotListening);
    std::memcpy(address.sun_path, socketPath.data(), socketPath.size());

    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return fail(Failure::NotListening);
    struct Closer
    {
        int fd;
        ~Closer() { ::close(fd); }
    } closer { fd };

    // A copy whose backlog is full refuses at once rather than queueing: tried again until the timeout.
    const timespec connecting = deadlineIn(connectTimeout);
    while (::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN || remainingMs(connecting) == 0)
            return fail(Failure::NotListening);
        ::usleep(2000);
    }

    // Waits for the socket, up to the answer's deadline; false once the time is up.
    const timespec answering = deadlineIn(answerTimeout);
    const auto ready = [&](short events) {
        for (;;) {
            pollfd poll { fd, events, 0 };
            const long remaining = remainingMs(answering);
            const int result = ::poll(&poll, 1, int(std::min(remaining, 60000L)));
            if (result > 0)
                return true;
            if ((result == 0 && remaining == 0) || (result < 0 && errno != EINTR))
                return false;
        }
    };
    // A request the socket does not take whole has not reached the copy: it acts on whole lines only.
    for (size_t written = 0; written < line.size();) {
        const ssize_t n = ::send(fd, line.data() + written, line.size() - written, MSG_NOSIGNAL);
        if (n > 0)
            written += size_t(n);
        else if (n < 0 && errno != EINTR && (errno != EAGAIN || !ready(POLLOUT)))
            return fail(Failure::NotTaken);
    }

    std::string answer;
    for (;;) {
        const size_t end = answer.find('\n');
        if (end != std::string::npos) {
            answer.resize(end);
            if (!answer.empty() && answer.back() == '\r')
                answer.pop_back();
            return answer;
        }
        if (answer.size() >= maximumAnswerBytes)
            return fail(Failure::Malformed);
        char buffer[16384];
        const ssize_t n = ::recv(fd, buffer, std::min(sizeof buffer, maximumAnswerBytes - answer.size()), 0);
        if (n > 0)
            answer.append(buffer, size_t(n));
        else if (n == 0)
            return fail(Failure::ClosedUnanswered);
        else if (errno == EAGAIN && !ready(POLLIN))
            return fail(Failure::NoAnswer);
        else if (errno != EAGAIN && errno != EINTR)
            return fail(Failure::ClosedUnanswered);
    }
}

std::string jsonText(std::string_view utf8)
{
    std::string out = "\"";
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            static const char hex[] = "0123456789abcdef";
            out += "\\u00";
            out += hex[byte >> 4];
            out += hex[byte & 0xF];
        } else {
            out += c;
        }
    }
    return out + '"';
}

std::optional<Answer> readAnswer(std::string_view line)
{
    Answer answer;
    const size_t wordEnd = std::min(line.find(' '), line.size());
    if (wordEnd == 0 || wordEnd > maximumWordLength)
        return std::nullopt;
    for (size_t i = 0; i < wordEnd; ++i) {
        const char c = line[i];
        if (!((c >= 'a' && c <= 'z') || (i > 0 && ((c >= '0' && c <= '9') || c == '-'))))
            return std::nullopt;
    }
    answer.word = std::string(line.substr(0, wordEnd));
    if (wordEnd == line.size())
        return answer;
    if (!ObjectReader(line.substr(wordEnd + 1)).read(answer))
        return std::nullopt;
    return answer;
}

} // namespace vantiro::plain_client
