#pragma once

// A client of the user's running copy in plain C++, for vantiro-send's quick start: it loads no Qt library, so a
// script's send through the running copy pays little more than starting a small process. It only finds and asks;
// whatever it cannot settle (no copy, a closing one, a request the copy declines) is left to the whole program,
// which finds the copy by the full rule (runtime_folder.h, single_instance.h).

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantiro::plain_client {

// The names the runtime rule and the running copy use, shared with the Qt side so the two cannot drift apart.
inline constexpr char socketFileName[] = "vantiro.socket"; // in the runtime folder
inline constexpr char stateFolderInHome[] = ".local/state/Vantiro"; // the user's fixed folder
inline constexpr char runtimeFolderInState[] = "runtime"; // the fallback runtime folder, in the fixed one

// Where the runtime rule looks (runtime_folder.h), as this process's environment gives it.
struct Places
{
    std::optional<std::string> xdgRuntimeDir; // nothing when the variable is unset
    std::string runUserFolder; // /run/user/<uid>
    std::string home; // as the password database names it
    std::optional<std::string> stateFolder; // VANTIRO_STATE_DIR, in place of the one in the home
    unsigned uid = 0;
};
Places environmentPlaces();

// The runtime folders where the user's running copy may listen, in the order to ask them: the one recorded in the
// user's fixed folder, then the one the runtime rule gives these places. Each is a folder of the user's with mode
// 0700; nothing is created.
std::vector<std::string> copyFolders(const Places &places);

// Asks the copy listening on the socket at `socketPath` with one request line (its line feed included) and returns
// its answer line, without the line feed, at most 1 MB; nothing when it could not, and `failure` says why. A copy
// that has not taken the whole line has done nothing with it (NotListening, NotTaken); one that has may have
// acted on it.
enum class Failure { NotListening, NotTaken, ClosedUnanswered, NoAnswer, Malformed };
std::optional<std::string> ask(const std::string &socketPath, std::string_view line,
                               std::chrono::milliseconds connectTimeout, std::chrono::milliseconds answerTimeout,
                               Failure *failure);

// A JSON text of UTF-8, quoted and escaped.
std::string jsonText(std::string_view utf8);

// An answer line: its word, then the texts and whole numbers of its JSON object (other values are passed over).
struct Answer
{
    std::string word;
    std::map<std::string, std::string> texts;
    std::map<std::string, long long> numbers;
};
// Nothing when the line is not an answer word, optionally followed by a blank and a JSON object.
std::optional<Answer> readAnswer(std::string_view line);

} // namespace vantiro::plain_client
