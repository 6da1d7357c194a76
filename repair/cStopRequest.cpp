#include "repair/cStopRequest.h"
#include <atomic>

namespace
{
// Set from the console's control handler, on a thread of its own.
std::atomic<bool> s_requested{false};
} // namespace

void cStopRequest::Request() noexcept
{
    s_requested = true;
}

bool cStopRequest::Requested() noexcept
{
    return s_requested;
}

void cStopRequest::Clear() noexcept
{
    s_requested = false;
}
