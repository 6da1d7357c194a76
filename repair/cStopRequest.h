#pragma once

// A request, from outside the procedures, that the run stop changing things (the console's Ctrl+C): a repair
// stops before its next change, undoes nothing it finished, and unloads what it loaded; a check fails at
// once.
class cStopRequest
{
public:
    static void Request() noexcept;
    static bool Requested() noexcept;
    // For a test that asked for one.
    static void Clear() noexcept;
};
