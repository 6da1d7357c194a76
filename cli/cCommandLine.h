#pragma once
#include <optional>
#include <string>
#include <variant>
#include <vector>

// What the console program was asked to do.
struct cCliRequest
{
    enum class eCommand
    {
        Check,
        Repair,
        Help,
    };
    eCommand Command = eCommand::Help;
    bool Force = false;                  // repair --force
    bool Json = false;                   // --json
    std::optional<std::wstring> LogPath; // --log PATH
};

// Why the command line cannot be followed: one Japanese line, empty when no command was given at all. What
// could be read of it still says how to answer: in JSON when --json was among the arguments.
struct cUsageError
{
    std::wstring Message;
    std::optional<cCliRequest::eCommand> Command; // check or repair, when the first argument named one
    bool Json = false;
};

// The command line, parsed in one place.
class cCommandLine
{
public:
    // The arguments after the program name. A help argument anywhere wins over any mistake beside it;
    // otherwise the first mistake from the left is reported.
    static std::variant<cCliRequest, cUsageError> Parse(const std::vector<std::wstring>& args);
    // The Japanese usage text, lines joined by CR LF, without a final CR LF.
    static const wchar_t* Usage();

private:
    static std::variant<cCliRequest, cUsageError> ParseArgs(const std::vector<std::wstring>& args);
};
