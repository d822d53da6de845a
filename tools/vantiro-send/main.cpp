// vantiro-send's quick start. A script that sends through the running copy should pay little more than the copy's
// own send, so this program loads no Qt library: it hands its arguments to the user's running copy, which carries
// out the send as vantiro-send would and answers with what to print. Everything else (--help, --version, --list,
// --status, a usage error, a closing copy, no copy at all, so sending alone) is left to the whole program, which
// this one becomes, with the same arguments.
#include "running_copy/plain_client.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <unistd.h>

using namespace std::chrono_literals;
using namespace vantiro;

namespace {

enum Exit { NotReached = 1, NoAnswer = 3 };

// A send may wait behind a run to every COM port, or behind a message box of the window's own send.
constexpr auto connectTimeout = 200ms;
constexpr auto answerTimeout = 60s;

bool write(std::FILE *stream, const std::string &text)
{
    const bool written = std::fwrite(text.data(), 1, text.size(), stream) == text.size();
    return std::fflush(stream) == 0 && written;
}

int fail(const std::string &reason)
{
    write(stderr, "vantiro-send: " + reason + '\n');
    return NoAnswer;
}

// The exit status once a running copy has answered; nothing when the whole program should take over.
std::optional<int> sendThroughRunningCopy(int argc, char *argv[])
{
    std::string line = "send-args {\"args\":[";
    for (int i = 1; i < argc; ++i)
        line += (i > 1 ? "," : "") + plain_client::jsonText(argv[i]);
    line += "],\"pid\":" + std::to_string(::getpid()) + "}\n";

    for (const std::string &folder : plain_client::copyFolders(plain_client::environmentPlaces())) {
        plain_client::Failure failure = plain_client::Failure::NotListening;
        const std::optional<std::string> reply
            = plain_client::ask(folder + '/' + plain_client::socketFileName, line, connectTimeout, answerTimeout, &failure);
        if (!reply && failure == plain_client::Failure::NotListening)
            continue;
        if (!reply && failure == plain_client::Failure::NotTaken)
            return std::nullopt;
        if (!reply) {
            // A send the copy took but never answered may have gone out: it is not sent again.
            if (failure == plain_client::Failure::ClosedUnanswered)
                return fail("the running copy ended the connection without an answer; the command may have been sent");
            if (failure == plain_client::Failure::NoAnswer)
                return fail("the running copy did not answer within " + std::to_string(answerTimeout.count()) + " s");
            return fail("the running copy answered with something unreadable");
        }
        const std::optional<plain_client::Answer> answer = plain_client::readAnswer(*reply);
        if (!answer)
            return fail("the running copy answered with something unreadable");
        // Closing, or not a send it carries out with these arguments: nothing has been sent.
        if (answer->word != "ok")
            return std::nullopt;
        const auto exit = answer->numbers.find("exit");
        if (exit == answer->numbers.end())
            return fail("the running copy answered with something unreadable");
        const auto text = [&](const char *name) {
            const auto found = answer->texts.find(name);
            return found == answer->texts.end() ? std::string() : found->second;
        };
        const bool errWritten = write(stderr, text("err"));
        const bool outWritten = write(stdout, text("out"));
        return errWritten && outWritten ? int(exit->second) : int(NotReached);
    }
    return std::nullopt;
}

// The whole program: beside this one in a build, in the installation's folder of helper programs otherwise.
std::string wholeProgram()
{
    char self[4096];
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self);
    std::string folder = length > 0 && size_t(length) < sizeof self ? std::string(self, size_t(length))
                                                                     : std::string(VANTIRO_INSTALLED_BIN "/vantiro-send");
    folder.erase(folder.rfind('/') + 1);
    const std::string beside = folder + "vantiro-send-full";
    if (::access(beside.c_str(), X_OK) == 0)
        return beside;
    return folder + VANTIRO_LIBEXEC_FROM_BIN "/vantiro-send-full";
}

} // namespace

int main(int argc, char *argv[])
{
    // Output to a pipe that has closed is a failed write, not the end of a send half-way.
    std::signal(SIGPIPE, SIG_IGN);
    if (const std::optional<int> exit = sendThroughRunningCopy(argc, argv))
        return *exit;
    const std::string whole = wholeProgram();
    ::execv(whole.c_str(), argv);
    return fail("cannot start " + whole + ": " + std::strerror(errno));
}
