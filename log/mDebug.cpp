#include "log/mDebug.h"

namespace mDebug
{
bool IsDebugMode()
{
#ifdef P2F_DEBUG_MODE
    return true;
#else
    return false;
#endif
}
} // namespace mDebug
