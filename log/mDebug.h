#pragma once

namespace mDebug
{
// True only in a development build made with P2F_DEBUG_MODE defined.
bool IsDebugMode();
} // namespace mDebug
